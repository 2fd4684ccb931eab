// libutility.so: its exports are declared in utility.h and defined beside this file.
