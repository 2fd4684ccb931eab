// application core
