// libudp.so: its exports are declared in udp.h and defined beside this file.
