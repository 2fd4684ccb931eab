// libswarmload.so: its exports are declared in swarmload.h and defined beside this file.
