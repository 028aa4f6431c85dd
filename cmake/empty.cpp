// Placeholder so the core library has a translation unit before any subsystem lands.
