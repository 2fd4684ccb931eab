// libsetupaide.so: its exports are declared in setupaide.h and defined beside this file.
