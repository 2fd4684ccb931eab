// A crash reporter library that lacks CCInit (for the binding's tests).
extern "C" __attribute__((visibility("default"))) int CCVersion(void) { return 1; }
