// platform layer
