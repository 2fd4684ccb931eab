// libkitfinder.so: its exports are declared in kitfinder.h and defined beside this file.
