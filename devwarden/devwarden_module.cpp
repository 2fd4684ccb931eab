// libdevwarden.so: its exports are declared in devwarden.h and defined beside this file.
