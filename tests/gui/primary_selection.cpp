// primary_selection [clear]: prints the text of the X PRIMARY selection, which a GTK text field
// holds while some of its text is selected; status 1 when nobody holds it. With "clear", makes
// nobody hold it, so that an older selection cannot pass for a new one. It lets a test see what a
// text field of another program holds: select all in it, then read the selection.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <sys/select.h>

#include <climits>
#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 2;
    if (argc > 1 && std::string_view(argv[1]) == "clear") {
        XSetSelectionOwner(display, XA_PRIMARY, None, CurrentTime);
        XSync(display, False);
        return 0;
    }
    if (XGetSelectionOwner(display, XA_PRIMARY) == None) return 1;
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom property = XInternAtom(display, "PRIMARY_SELECTION_TEXT", False);
    XConvertSelection(display, XA_PRIMARY, XInternAtom(display, "UTF8_STRING", False), property,
                      window, CurrentTime);
    XFlush(display);
    // The holder answers in its own time; a holder that never does must not hang the test.
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != SelectionNotify) continue;
            if (event.xselection.property == None) return 1;
            Atom type;
            int format;
            unsigned long size, left;
            unsigned char* text = nullptr;
            XGetWindowProperty(display, window, property, 0, LONG_MAX / 4, True, AnyPropertyType,
                               &type, &format, &size, &left, &text);
            if (!text) return 1;
            std::fwrite(text, 1, size, stdout);
            XFree(text);
            return std::fflush(stdout) == 0 ? 0 : 2;
        }
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(ConnectionNumber(display), &ready);
        timeval wait{10, 0};
        if (select(ConnectionNumber(display) + 1, &ready, nullptr, nullptr, &wait) <= 0) return 3;
    }
}
