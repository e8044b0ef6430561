/* close_window WINDOW-ID: asks a window to close the way a window manager's
 * close button does, with a WM_DELETE_WINDOW client message. The test X
 * server runs no window manager, so nothing else would send it. */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char* argv[]) {
    Display* display = argc == 2 ? XOpenDisplay(NULL) : NULL;
    if (display == NULL) {
        fprintf(stderr, "usage: close_window WINDOW-ID, with a display to open\n");
        return 2;
    }
    const Window window = strtoul(argv[1], NULL, 0);
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}
