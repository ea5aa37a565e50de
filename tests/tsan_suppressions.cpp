// Linked into every test program built with ThreadSanitizer (Z4072_SANITIZE=thread).
//
// Qt is not built with ThreadSanitizer and its locks are futexes that it cannot see, so the work
// that Qt's own worker threads do (image conversion while a widget is grabbed) shows up as races.
// Uninstrumented code leaves no frames of its own in a report, so these match only accesses made
// by Qt itself; races between accesses in our code are still reported. The same holds for GLib
// (under Qt's event loop, and under the emulated hidraw devices of the tests of the system's HID
// layer together with the emulation's own libraries, whose worker thread serves the devices).
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so.6\n"
           "race:libQt6Gui.so.6\n"
           "race:libQt6Widgets.so.6\n"
           "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "race:libglib-2.0.so.0\n"
           "race:libgobject-2.0.so.0\n"
           "race:libumockdev.so.0\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libgobject-2.0.so.0\n"
           "called_from_lib:libgio-2.0.so.0\n"
           "called_from_lib:libumockdev.so.0\n"
           "called_from_lib:libumockdev-preload.so.0\n";
}
