"""A simulated Android phone for Phonedeck's tests and demo (see README.md)."""
