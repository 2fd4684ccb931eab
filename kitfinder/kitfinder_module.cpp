// libkitfinder.so: its exports are declared in kitfinder.h and defined in
// dg_exports.cpp. Loading and unloading the library do nothing of their own:
// the query front and its log come with the first export call.
