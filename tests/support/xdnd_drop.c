/* Drops files on whatever X window lies under a point of the screen, the way a
 * Linux file manager does: the XDND protocol, offering the files as a
 * text/uri-list. Under Wine this is how a file dragged from the desktop reaches
 * a window, so the tests use it to drop files on the tool for real.
 *
 *   xdnd_drop X Y REPORT PATH...
 *
 * X and Y are root-window coordinates, PATH the files' Unix paths. When the
 * exchange ends, one line goes to the file REPORT (written whole, then renamed
 * into place): "dropped" when the target took the drop, "refused" when it would
 * not take it, or "failed: why". Every wait ends after a few seconds. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <unistd.h>

enum { kXdndVersion = 5, kLimitMs = 8000 };

static Display *display;
static Window source;
static Atom aware, enter, position, status, leave, drop, finished, selection, copy, uriList;
static char *uris;
static size_t urisLength;

static void report(const char *path, const char *format, ...) {
  char temporary[4096];
  snprintf(temporary, sizeof temporary, "%s.part", path);
  FILE *file = fopen(temporary, "w");
  if (!file) return;
  va_list args;
  va_start(args, format);
  vfprintf(file, format, args);
  va_end(args);
  fputc('\n', file);
  fclose(file);
  rename(temporary, path);
}

static long nowMs(void) {
  struct timeval now;
  gettimeofday(&now, NULL);
  return now.tv_sec * 1000L + now.tv_usec / 1000;
}

/* "file://" and the path, every byte outside the unreserved set escaped. */
static void appendUri(const char *path) {
  static const char kHex[] = "0123456789ABCDEF";
  uris = realloc(uris, urisLength + 8 + 3 * strlen(path) + 3);
  urisLength += (size_t)sprintf(uris + urisLength, "file://");
  for (const unsigned char *c = (const unsigned char *)path; *c; ++c) {
    if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
        strchr("/-._~", *c)) {
      uris[urisLength++] = (char)*c;
    } else {
      uris[urisLength++] = '%';
      uris[urisLength++] = kHex[*c >> 4];
      uris[urisLength++] = kHex[*c & 15];
    }
  }
  uris[urisLength++] = '\r';
  uris[urisLength++] = '\n';
  uris[urisLength] = '\0';
}

static int hasAware(Window window) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char *data = NULL;
  XGetWindowProperty(display, window, aware, 0, 1, False, AnyPropertyType, &type, &format, &count,
                     &after, &data);
  if (data) XFree(data);
  return type != None;
}

/* The outermost window under the point that takes XDND drops, or None. */
static Window targetAt(int x, int y) {
  Window root = DefaultRootWindow(display), window = root, child;
  int localX, localY;
  while (XTranslateCoordinates(display, root, window, x, y, &localX, &localY, &child) && child) {
    window = child;
    if (hasAware(window)) return window;
  }
  return None;
}

static void send(Window target, Atom type, long l1, long l2, long l3, long l4) {
  XEvent event;
  memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = target;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)source;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  XSendEvent(display, target, False, NoEventMask, &event);
  XFlush(display);
}

/* The target asks for the files while it decides and again on the drop. */
static void answer(const XSelectionRequestEvent *request) {
  XEvent reply;
  memset(&reply, 0, sizeof reply);
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = request->requestor;
  reply.xselection.selection = request->selection;
  reply.xselection.target = request->target;
  reply.xselection.time = request->time;
  reply.xselection.property = None;
  if (request->target == uriList && request->property != None) {
    XChangeProperty(display, request->requestor, request->property, uriList, 8, PropModeReplace,
                    (const unsigned char *)uris, (int)urisLength);
    reply.xselection.property = request->property;
  }
  XSendEvent(display, request->requestor, False, NoEventMask, &reply);
  XFlush(display);
}

/* Serves selection requests until a client message of `type` comes; 0 when
 * the time runs out first. */
static int waitFor(Atom type, XClientMessageEvent *message, long deadline) {
  while (nowMs() < deadline) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == SelectionRequest) answer(&event.xselectionrequest);
      if (event.type == ClientMessage && event.xclient.message_type == type) {
        *message = event.xclient;
        return 1;
      }
    }
    usleep(10000);
  }
  return 0;
}

int main(int argc, char **argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: xdnd_drop X Y REPORT PATH...\n");
    return 2;
  }
  const int x = atoi(argv[1]), y = atoi(argv[2]);
  const char *reportPath = argv[3];
  for (int i = 4; i < argc; ++i) appendUri(argv[i]);

  display = XOpenDisplay(NULL);
  if (!display) {
    report(reportPath, "failed: no display");
    return 1;
  }
  aware = XInternAtom(display, "XdndAware", False);
  enter = XInternAtom(display, "XdndEnter", False);
  position = XInternAtom(display, "XdndPosition", False);
  status = XInternAtom(display, "XdndStatus", False);
  leave = XInternAtom(display, "XdndLeave", False);
  drop = XInternAtom(display, "XdndDrop", False);
  finished = XInternAtom(display, "XdndFinished", False);
  selection = XInternAtom(display, "XdndSelection", False);
  copy = XInternAtom(display, "XdndActionCopy", False);
  uriList = XInternAtom(display, "text/uri-list", False);

  const Window target = targetAt(x, y);
  if (target == None) {
    report(reportPath, "failed: no window takes drops at %d,%d", x, y);
    return 1;
  }
  source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(display, selection, source, CurrentTime);

  const long deadline = nowMs() + kLimitMs;
  XClientMessageEvent reply;
  send(target, enter, (long)kXdndVersion << 24, (long)uriList, None, None);
  send(target, position, 0, ((long)x << 16) | (y & 0xFFFF), CurrentTime, (long)copy);
  if (!waitFor(status, &reply, deadline)) {
    send(target, leave, 0, 0, 0, 0);
    report(reportPath, "failed: no status from the target");
    return 1;
  }
  if (!(reply.data.l[1] & 1)) {
    send(target, leave, 0, 0, 0, 0);
    report(reportPath, "refused");
    return 0;
  }
  send(target, drop, 0, CurrentTime, 0, 0);
  if (!waitFor(finished, &reply, deadline)) {
    report(reportPath, "failed: the target never finished the drop");
    return 1;
  }
  report(reportPath, (reply.data.l[1] & 1) ? "dropped" : "refused");
  XCloseDisplay(display);
  return 0;
}
