// Linked into every program of a KRVS_SANITIZE=address build (cmake/Sanitize.cmake). Leaks that system
// libraries keep on purpose until the process ends (D-Bus, fontconfig, GLib, the X and GL client
// libraries behind Qt) would otherwise fail every test that starts a window; the project's own code and
// Qt's are still checked.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n"
           "leak:libfontconfig.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libX11.so\n"
           "leak:libxcb\n"
           "leak:libEGL\n"
           "leak:libGLX\n"
           "leak:libGL.so\n"
           "leak:swrast_dri.so\n"
           "leak:libxkbcommon.so\n";
}
