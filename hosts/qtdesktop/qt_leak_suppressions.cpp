// Linked into every Qt program of ours (the app, the Qt tests); unused outside sanitizer builds.
// Qt and the libraries under it keep process-wide objects (screens, the platform plugin,
// font caches) until exit and never free some of them. The leak checker of the sanitizer
// builds is told to ignore allocations made inside those libraries; objects our code allocates
// itself are still checked.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt5Core.so\n"
           "leak:libQt5Gui.so\n"
           "leak:libQt5Widgets.so\n"
           "leak:libQt5XcbQpa.so\n"
           "leak:libqoffscreen.so\n"
           "leak:libqxcb.so\n"
           "leak:libfontconfig.so\n"
           "leak:libfreetype.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libdbus-1.so\n"
           "leak:libxcb\n"
           "leak:libX11.so\n";
}
