// libkitoracle.so: its exports are declared in kitoracle.h and defined beside this file.
