// foundation
