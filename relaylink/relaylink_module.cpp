// librelaylink.so: its exports are declared in relaylink.h and defined beside this file.
