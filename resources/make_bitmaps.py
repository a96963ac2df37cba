#!/usr/bin/env python3
"""Draws the designer's bitmaps and cursor as PNG files at 1x and 2x (name.png, name@2x.png).

Shapes are given in logical pixels and rasterised with 4x4 supersampling, so the 2x pictures
are drawn again at double resolution instead of being scaled up. Bitmaps that are drawn
transparently have a transparent bottom-left pixel. Run: python3 make_bitmaps.py [OUTDIR]
"""
import math
import os
import struct
import sys
import zlib

SS = 4  # samples per device pixel and axis


def hexcol(s, a=255):
    s = s.lstrip('#')
    return (int(s[0:2], 16), int(s[2:4], 16), int(s[4:6], 16), a)


class Canvas:
    def __init__(self, w, h, scale):
        self.w, self.h, self.s = w, h, scale
        self.px = [[(0, 0, 0, 0)] * (w * scale) for _ in range(h * scale)]

    def _paint(self, inside, color, box):
        x0, y0, x1, y1 = box
        s = self.s
        dx0 = max(0, int(math.floor(x0 * s)))
        dy0 = max(0, int(math.floor(y0 * s)))
        dx1 = min(self.w * s, int(math.ceil(x1 * s)))
        dy1 = min(self.h * s, int(math.ceil(y1 * s)))
        for dy in range(dy0, dy1):
            row = self.px[dy]
            for dx in range(dx0, dx1):
                hits = 0
                for sy in range(SS):
                    y = (dy + (sy + 0.5) / SS) / s
                    for sx in range(SS):
                        x = (dx + (sx + 0.5) / SS) / s
                        if inside(x, y):
                            hits += 1
                if hits:
                    row[dx] = over(row[dx], color, hits / (SS * SS))

    def rect(self, x0, y0, x1, y1, color):
        self._paint(lambda x, y: x0 <= x < x1 and y0 <= y < y1, color, (x0, y0, x1, y1))

    def frame(self, x0, y0, x1, y1, color, t=1.0):
        """Outline of the rectangle, `t` logical pixels wide, inside its edges."""
        self.rect(x0, y0, x1, y0 + t, color)
        self.rect(x0, y1 - t, x1, y1, color)
        self.rect(x0, y0 + t, x0 + t, y1 - t, color)
        self.rect(x1 - t, y0 + t, x1, y1 - t, color)

    def line(self, x0, y0, x1, y1, width, color):
        r = width / 2.0
        vx, vy = x1 - x0, y1 - y0
        ll = vx * vx + vy * vy

        def inside(x, y):
            t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - x0) * vx + (y - y0) * vy) / ll))
            px, py = x0 + t * vx - x, y0 + t * vy - y
            return px * px + py * py <= r * r

        self._paint(inside, color, (min(x0, x1) - r, min(y0, y1) - r, max(x0, x1) + r,
                                    max(y0, y1) + r))

    def capsule_ring(self, x0, y0, x1, y1, r_out, r_in, color):
        """Outline of a capsule (a chain link) around the segment."""
        vx, vy = x1 - x0, y1 - y0
        ll = vx * vx + vy * vy

        def inside(x, y):
            t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - x0) * vx + (y - y0) * vy) / ll))
            px, py = x0 + t * vx - x, y0 + t * vy - y
            d = px * px + py * py
            return r_in * r_in <= d <= r_out * r_out

        self._paint(inside, color, (min(x0, x1) - r_out, min(y0, y1) - r_out,
                                    max(x0, x1) + r_out, max(y0, y1) + r_out))

    def polyline(self, pts, width, color):
        for a, b in zip(pts, pts[1:]):
            self.line(a[0], a[1], b[0], b[1], width, color)

    def circle(self, cx, cy, rad, color, ring=None):
        def inside(x, y):
            d = (x - cx) ** 2 + (y - cy) ** 2
            if ring is None:
                return d <= rad * rad
            return (rad - ring) ** 2 <= d <= rad * rad

        self._paint(inside, color, (cx - rad, cy - rad, cx + rad, cy + rad))

    def ellipse(self, cx, cy, rx, ry, color):
        self._paint(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0, color,
                    (cx - rx, cy - ry, cx + rx, cy + ry))

    def polygon(self, pts, color):
        def inside(x, y):
            c = False
            n = len(pts)
            for i in range(n):
                ax, ay = pts[i]
                bx, by = pts[(i + 1) % n]
                if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                    c = not c
            return c

        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self._paint(inside, color, (min(xs), min(ys), max(xs), max(ys)))

    def png(self, path):
        raw = bytearray()
        for row in self.px:
            raw.append(0)
            for r, g, b, a in row:
                raw += bytes((r, g, b, a))
        w, h = self.w * self.s, self.h * self.s

        def chunk(tag, data):
            c = struct.pack('>I', len(data)) + tag + data
            return c + struct.pack('>I', zlib.crc32(tag + data) & 0xFFFFFFFF)

        data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
        data += chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b'')
        with open(path, 'wb') as f:
            f.write(data)


def over(dst, src, cov):
    sa = src[3] / 255.0 * cov
    da = dst[3] / 255.0
    oa = sa + da * (1 - sa)
    if oa <= 0:
        return (0, 0, 0, 0)
    out = [int(round((src[i] * sa + dst[i] * da * (1 - sa)) / oa)) for i in range(3)]
    return (out[0], out[1], out[2], int(round(oa * 255)))


GLYPH = hexcol('#3c3c3c')
BORDER = hexcol('#7a7a7a')
WHITE = hexcol('#ffffff')
TICK = hexcol('#1f1f1f')
BLUE = hexcol('#2f6db5')
LIGHTBLUE = hexcol('#dbe7f5')
GREY = hexcol('#9a9a9a')


# Caption buttons: 12 x 12, drawn one pixel inside their frame, so the picture keeps to the
# upper-left 10 x 10 and the last row and column stay transparent.
def btn1(c):  # collapse / expand: a window rolled up to its caption
    c.rect(1, 1, 9, 3, GLYPH)
    c.polygon([(2, 5), (8, 5), (5, 8.2)], GLYPH)


def btn2(c):  # unlink: two chain links pulled apart
    c.capsule_ring(1.9, 8.1, 3.0, 7.0, 1.9, 0.9, GLYPH)
    c.capsule_ring(7.0, 3.0, 8.1, 1.9, 1.9, 0.9, GLYPH)
    c.line(4.4, 5.6, 5.6, 4.4, 0.9, hexcol("#9a9a9a"))


def btn3(c):  # close
    c.line(1.5, 1.5, 8.5, 8.5, 1.6, GLYPH)
    c.line(8.5, 1.5, 1.5, 8.5, 1.6, GLYPH)


# Row boxes: 16 x 16 with a 12 x 12 box whose centre is the row's centre.
def uncheck(c):
    c.rect(2, 2, 14, 14, WHITE)
    c.frame(2, 2, 14, 14, BORDER)


def check(c):
    uncheck(c)
    c.polyline([(4.6, 8.2), (7.0, 10.6), (11.4, 5.2)], 1.7, TICK)


def inputnull(c):  # parameter without a value: an empty entry field
    c.rect(1, 4, 15, 12, WHITE)
    c.frame(1, 4, 15, 12, BORDER)
    c.rect(3, 6, 4, 10, GREY)


def inputparam(c):  # parameter with a value
    inputnull(c)
    c.rect(5, 7, 7, 9, TICK)
    c.rect(8, 7, 10, 9, TICK)
    c.rect(11, 7, 13, 9, TICK)


# Select-all boxes: 12 x 12, copied opaque.
def box(c, state):
    c.rect(0, 0, 12, 12, WHITE)
    c.frame(0, 0, 12, 12, BORDER)
    if state == 1:
        c.rect(3, 3, 9, 9, hexcol('#5a5a5a'))
    elif state == 2:
        c.polyline([(2.6, 6.2), (5.0, 8.6), (9.4, 3.2)], 1.7, TICK)


def tablebmp(c):
    c.rect(1, 2, 15, 14, WHITE)
    c.rect(1, 2, 15, 5, BLUE)
    c.frame(1, 2, 15, 14, hexcol('#2a5d99'))
    for y in (8, 11):
        c.rect(2, y, 14, y + 1, hexcol('#a9bfd9'))
    c.rect(6, 5, 7, 13, hexcol('#a9bfd9'))


def fieldbmp(c):
    c.rect(1, 5, 15, 11, LIGHTBLUE)
    c.frame(1, 5, 15, 11, hexcol('#2a5d99'))
    c.rect(3, 7, 10, 9, BLUE)


def arrow(c, left, double):
    col = hexcol('#2f7d32')
    xs = [5.5, 9.5] if double else [7.5]
    for x in xs:
        if left:
            c.polyline([(x + 2, 3.5), (x - 2.5, 8), (x + 2, 12.5)], 2.0, col)
        else:
            c.polyline([(x - 2, 3.5), (x + 2.5, 8), (x - 2, 12.5)], 2.0, col)


def dragcursor(c):
    # Arrow with a small link badge: dragging a field to another table's row.
    arrow_pts = [(1, 1), (1, 17), (5, 13), (8, 19.5), (10.5, 18.5), (7.5, 12), (13, 12)]
    c.polygon(arrow_pts, hexcol('#000000'))
    inner = [(2.2, 3.8), (2.2, 14.2), (5.3, 11.2), (8.5, 18), (9.2, 17.7), (6.1, 10.9), (10.2, 10.9)]
    c.polygon(inner, WHITE)
    c.rect(13, 17, 29, 27, WHITE)
    c.frame(13, 17, 29, 27, hexcol('#000000'))
    c.rect(15, 21, 19, 23, BLUE)
    c.rect(23, 21, 27, 23, BLUE)
    c.rect(19, 21.5, 23, 22.5, hexcol('#000000'))


def mainicon(c):
    def table(x, y):
        c.rect(x, y, x + 13, y + 14, WHITE)
        c.rect(x, y, x + 13, y + 4, BLUE)
        c.frame(x, y, x + 13, y + 14, hexcol('#2a5d99'))
        for yy in (y + 7, y + 10):
            c.rect(x + 1, yy, x + 12, yy + 1, hexcol('#a9bfd9'))

    table(1, 3)
    table(18, 15)
    c.polyline([(14, 11.5), (16, 11.5), (16, 23.5), (18, 23.5)], 1.2, hexcol('#000000'))
    c.circle(14.5, 11.5, 1.5, hexcol('#000000'))
    c.circle(17.5, 23.5, 1.5, hexcol('#000000'))


# Tool bar and menu images of the demo (16 x 16).
DBBODY = hexcol('#8fa9c9')
DBTOP = hexcol('#c9d8ea')
DBEDGE = hexcol('#3d5f8a')
GREEN = hexcol('#2e8b3a')
RED = hexcol('#c8322b')


def database(c):
    # A cylinder, the usual picture of a database.
    c.ellipse(6, 12.5, 5, 2, DBEDGE)
    c.rect(1, 3.5, 11, 12.5, DBEDGE)
    c.ellipse(6, 12.5, 4.2, 1.3, DBBODY)
    c.rect(1.8, 3.5, 10.2, 12.5, DBBODY)
    c.ellipse(6, 3.5, 5, 2, DBEDGE)
    c.ellipse(6, 3.5, 4.2, 1.3, DBTOP)


def menu_connect(c):
    database(c)
    c.circle(12, 11.5, 3.8, WHITE)
    c.circle(12, 11.5, 3.2, GREEN)
    c.polyline([(10.4, 11.6), (11.6, 12.8), (13.8, 10.2)], 1.2, WHITE)


def menu_disconnect(c):
    database(c)
    c.circle(12, 11.5, 3.8, WHITE)
    c.circle(12, 11.5, 3.2, RED)
    c.line(10.6, 10.1, 13.4, 12.9, 1.2, WHITE)
    c.line(13.4, 10.1, 10.6, 12.9, 1.2, WHITE)


def menu_load(c):
    # An open folder.
    edge = hexcol('#9a7412')
    c.polygon([(0.5, 3), (5.5, 3), (7, 4.5), (13.5, 4.5), (13.5, 13.5), (0.5, 13.5)], edge)
    c.polygon([(1.3, 3.8), (5.2, 3.8), (6.7, 5.3), (12.7, 5.3), (12.7, 12.7), (1.3, 12.7)],
              hexcol('#e8c250'))
    c.polygon([(3, 7), (15.5, 7), (13.5, 13.5), (0.5, 13.5)], edge)
    c.polygon([(3.6, 7.8), (14.4, 7.8), (12.9, 12.7), (1.6, 12.7)], hexcol('#f6d977'))


def menu_save(c):
    # A diskette.
    c.rect(1, 1, 15, 15, hexcol('#2f5e9c'))
    c.polygon([(1, 1), (13, 1), (15, 3), (15, 15), (1, 15)], hexcol('#2f5e9c'))
    c.rect(3.5, 1, 12.5, 6.5, WHITE)
    c.rect(9.5, 2, 11.5, 5.5, hexcol('#2f5e9c'))
    c.rect(3, 9, 13, 15, hexcol('#dfe6ef'))
    c.rect(4.5, 10.5, 11.5, 11.3, hexcol('#8fa3bd'))
    c.rect(4.5, 12.3, 11.5, 13.1, hexcol('#8fa3bd'))


def menu_execute(c):
    # Run: a green triangle pointing right.
    c.polygon([(3, 1.5), (14, 8), (3, 14.5)], hexcol('#1f6b2a'))
    c.polygon([(4.1, 3.4), (12, 8), (4.1, 12.6)], hexcol('#3fae4f'))


def menu_clear(c):
    # An eraser lying at a slant.
    c.polygon([(1.5, 10.5), (9, 3), (14.5, 8.5), (7, 16)], hexcol('#7a3b3b'))
    c.polygon([(2.7, 10.5), (9, 4.2), (13.3, 8.5), (7, 14.8)], hexcol('#f08a8a'))
    c.polygon([(2.7, 10.5), (5.6, 7.6), (9.9, 11.9), (7, 14.8)], hexcol('#d9d9e8'))
    c.rect(1, 15, 15, 16, hexcol('#9a9a9a'))


NAV = hexcol('#2f4f7f')


def nav_first(c):
    c.rect(3, 3, 5, 13, NAV)
    c.polygon([(13, 3), (5.5, 8), (13, 13)], NAV)


def nav_prior(c):
    c.polygon([(11.5, 3), (4, 8), (11.5, 13)], NAV)


def nav_next(c):
    c.polygon([(4.5, 3), (12, 8), (4.5, 13)], NAV)


def nav_last(c):
    c.polygon([(3, 3), (10.5, 8), (3, 13)], NAV)
    c.rect(11, 3, 13, 13, NAV)


def nav_refresh(c):
    # A circular arrow: a ring open at the upper right, with its head there.
    cx, cy, r1, r0 = 8, 8.5, 5.6, 3.8

    def inside(x, y):
        d = (x - cx) ** 2 + (y - cy) ** 2
        return r0 * r0 <= d <= r1 * r1 and not (x > cx and y < cy)

    c._paint(inside, NAV, (cx - r1, cy - r1, cx + r1, cy + r1))
    c.polygon([(8, 0.9), (11.8, 3.8), (8, 6.7)], NAV)


PICTURES = {
    'BTN1': (12, 12, btn1),
    'BTN2': (12, 12, btn2),
    'BTN3': (12, 12, btn3),
    'CHECKBMP': (16, 16, check),
    'UNCHECKBMP': (16, 16, uncheck),
    'INPUTNULL': (16, 16, inputnull),
    'INPUTPARAM': (16, 16, inputparam),
    'BOX1': (12, 12, lambda c: box(c, 0)),
    'BOX2': (12, 12, lambda c: box(c, 1)),
    'BOX3': (12, 12, lambda c: box(c, 2)),
    'TABLEBMP': (16, 16, tablebmp),
    'FIELDBMP': (16, 16, fieldbmp),
    'ADD': (16, 16, lambda c: arrow(c, False, False)),
    'ADD_ALL': (16, 16, lambda c: arrow(c, False, True)),
    'REMOVE': (16, 16, lambda c: arrow(c, True, False)),
    'REMOVE_ALL': (16, 16, lambda c: arrow(c, True, True)),
    'DragCursor': (32, 32, dragcursor),
    'MAINICON': (32, 32, mainicon),
    'MENU_CONNECT': (16, 16, menu_connect),
    'MENU_DISCONNECT': (16, 16, menu_disconnect),
    'MENU_LOAD': (16, 16, menu_load),
    'MENU_SAVE': (16, 16, menu_save),
    'MENU_EXECUTE': (16, 16, menu_execute),
    'MENU_CLEAR': (16, 16, menu_clear),
    'NAV_FIRST': (16, 16, nav_first),
    'NAV_PRIOR': (16, 16, nav_prior),
    'NAV_NEXT': (16, 16, nav_next),
    'NAV_LAST': (16, 16, nav_last),
    'NAV_REFRESH': (16, 16, nav_refresh),
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'bitmaps')
    os.makedirs(out, exist_ok=True)
    for name, (w, h, draw) in PICTURES.items():
        for scale, suffix in ((1, ''), (2, '@2x')):
            c = Canvas(w, h, scale)
            draw(c)
            c.png(os.path.join(out, name + suffix + '.png'))


if __name__ == '__main__':
    main()
