#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the pictures of the demo folder (and their thumbnails) from scratch: each scene is
# computed pixel by pixel in awk and encoded with netpbm and cjpeg. Run from anywhere; writes
# into demo/ of this checkout. Only needed to change the pictures: they are committed.
set -eu
cd "$(dirname "$0")/../demo"
export LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# draw SCENE WIDTH HEIGHT > plain PPM
draw() {
    awk -v scene="$1" -v W="$2" -v H="$3" '
    function clamp(v) { return v < 0 ? 0 : (v > 255 ? 255 : int(v)) }
    function mix(a, b, t) { return a + (b - a) * t }
    function smooth(e0, e1, v,   t) { t = (v - e0) / (e1 - e0); t = t < 0 ? 0 : (t > 1 ? 1 : t); return t * t * (3 - 2 * t) }
    function hash(i, j,   h) { h = sin(i * 12.9898 + j * 78.233) * 43758.5453; return h - int(h) < 0 ? h - int(h) + 1 : h - int(h) }
    function set(r, g, b) { R = r; G = g; B = b }
    function over(r, g, b, a) { R = mix(R, r, a); G = mix(G, g, a); B = mix(B, b, a) }
    function sky_sunset(y,   t) { t = y / 0.62; set(mix(70, 250, t), mix(35, 150, t * t), mix(100, 70, t)) }
    function sky_lake(y,   t) { t = y / 0.6; set(mix(90, 215, t), mix(140, 232, t), mix(215, 250, t)) }
    function ridge(x) {
        return 0.56 - 0.30 * (1 - smooth(0, 0.26, (x > 0.32 ? x - 0.32 : 0.32 - x))) \
                    - 0.22 * (1 - smooth(0, 0.30, (x > 0.72 ? x - 0.72 : 0.72 - x))) + 0.012 * sin(x * 60)
    }
    function lake(x, y,   r, yy) {
        sky_lake(y)
        r = ridge(x)
        if (y > r) {
            set(mix(105, 70, (y - r) / 0.3), mix(105, 80, (y - r) / 0.3), mix(120, 95, (y - r) / 0.3))
            if (r < 0.42 && y < r + 0.05 + 0.01 * sin(x * 90)) set(245, 248, 252)
        }
        if (y > 0.58 + 0.012 * sin(x * 140) * sin(x * 23)) set(30, 70, 40)
    }
    function scene_sunset(x, y,   d, hf, hn, yy) {
        yy = y > 0.62 ? 1.24 - y : y
        sky_sunset(yy)
        d = sqrt((x - 0.68) ^ 2 + ((yy - 0.50) * H / W) ^ 2)
        over(255, 225, 140, 1 - smooth(0.05, 0.062, d))
        if (y > 0.62) { R *= 0.72; G *= 0.72; B *= 0.85; R += 10 * sin(y * 400 + sin(x * 30) * 3) }
        hf = 0.55 + 0.03 * sin(x * 7 + 1) + 0.012 * sin(x * 31)
        if (y > hf && y <= 0.62) set(85, 45, 80)
        hn = 0.72 + 0.07 * sin(x * 4 + 2) + 0.01 * sin(x * 47)
        if (y > hn) set(mix(35, 15, (y - hn) * 3), 22, 38)
    }
    function scene_lake(x, y) {
        if (y <= 0.66) lake(x, y)
        else { lake(x, 1.32 - y + 0.004 * sin(y * 300)); R = R * 0.6 + 10; G = G * 0.7 + 25; B = B * 0.75 + 45 }
    }
    function scene_forest(x, y,   i, c, w, t) {
        t = y
        set(mix(215, 45, t), mix(235, 95, t), mix(185, 50, t))
        over(255, 250, 200, 0.25 * smooth(0.6, 1, sin((x * 0.8 + y) * 12)))
        for (i = 0; i < 7; i++) {
            c = 0.06 + i * 0.145 + 0.03 * sin(i * 5.3); w = 0.022 + 0.012 * ((i * 7) % 3)
            if (x > c - w && x < c + w) { set(mix(95, 60, (x - c + w) / (2 * w)), mix(70, 40, (x - c + w) / (2 * w)), 35); if (i % 2) over(40, 80, 40, 0.35) }
        }
        if (y > 0.86 + 0.015 * sin(x * 37)) set(mix(90, 60, (y - 0.86) * 7), mix(110, 70, (y - 0.86) * 7), 45)
    }
    function scene_night(x, y, px, py,   d, d2, col, top) {
        set(mix(5, 25, y), mix(10, 45, y), mix(35, 100, y))
        if (hash(px, py) > 0.9975) set(255, 255, 235)
        d = sqrt((x - 0.27) ^ 2 + ((y - 0.24) * H / W) ^ 2)
        d2 = sqrt((x - 0.30) ^ 2 + ((y - 0.21) * H / W) ^ 2)
        if (d < 0.075 && d2 > 0.07) set(245, 240, 205)
        over(120, 140, 200, 0.18 * (1 - smooth(0.07, 0.2, d)))
        col = int(x * 23)
        top = 0.62 + 0.25 * hash(col, 7)
        if (y > top) {
            set(18, 18, 30)
            if ((px % 8) < 3 && (py % 10) < 4 && hash(int(px / 8), int(py / 10)) > 0.55) set(250, 210, 110)
        }
    }
    function scene_flowers(x, y,   i, cx, cy, a, d, pr, k) {
        set(246, 241, 225)
        if (y > 0.78) set(150, 190, 110)
        for (i = 0; i < 5; i++) {
            cx = 0.12 + i * 0.19; cy = 0.38 + 0.12 * sin(i * 2.1)
            if (x > cx - 0.004 && x < cx + 0.004 && y > cy) set(70, 130, 60)
        }
        for (i = 0; i < 5; i++) {
            cx = 0.12 + i * 0.19; cy = 0.38 + 0.12 * sin(i * 2.1)
            for (k = 0; k < 6; k++) {
                a = k * 3.14159 / 3 + i
                d = sqrt((x - cx - 0.055 * cos(a)) ^ 2 + ((y - cy) * H / W - 0.055 * sin(a)) ^ 2)
                if (d < 0.04) { if (i % 3 == 0) set(225, 75, 95); else if (i % 3 == 1) set(245, 170, 40); else set(130, 95, 200) }
            }
            if (sqrt((x - cx) ^ 2 + ((y - cy) * H / W) ^ 2) < 0.03) set(250, 215, 60)
        }
    }
    function scene_lighthouse(x, y,   half, beam) {
        set(150, 200, 235)
        if (y > 0.7) { set(30, 80, 140); if (int(y * 60 + 2 * sin(x * 25)) % 3 == 0) set(60, 115, 175) }
        beam = (y - 0.28) / (x - 0.5 + 0.0001)
        if (x > 0.52 && beam > -0.35 && beam < 0.12) set(250, 240, 170)
        if (y > 0.74 && y < 0.88 && x > 0.3 && x < 0.75 && y > 0.74 + (x - 0.52) ^ 2) set(120, 110, 95)
        half = 0.035 + (y - 0.25) * 0.09
        if (y > 0.25 && y < 0.8 && x > 0.5 - half && x < 0.5 + half) { if (int((y - 0.25) * 20) % 2 == 0) set(205, 40, 40); else set(245, 245, 245) }
        if (y > 0.19 && y <= 0.25 && x > 0.47 && x < 0.53) set(250, 230, 110)
        if (y > 0.15 && y <= 0.19 && x > 0.465 && x < 0.535 && y > 0.15 + (x > 0.5 ? x - 0.5 : 0.5 - x)) set(40, 40, 45)
    }
    BEGIN {
        printf "P3\n%d %d\n255\n", W, H
        for (py = 0; py < H; py++) {
            y = (py + 0.5) / H
            line = ""
            for (px = 0; px < W; px++) {
                x = (px + 0.5) / W
                if (scene == "sunset") scene_sunset(x, y)
                else if (scene == "lake") scene_lake(x, y)
                else if (scene == "forest") scene_forest(x, y)
                else if (scene == "night") scene_night(x, y, px, py)
                else if (scene == "flowers") scene_flowers(x, y)
                else scene_lighthouse(x, y)
                line = line clamp(R) " " clamp(G) " " clamp(B) " "
            }
            print line
        }
    }'
}

jpeg() { # SCENE W H NAME
    draw "$1" "$2" "$3" > "$work/$1.ppm"
    cjpeg -quality 80 -optimize -outfile "$4.jpg" "$work/$1.ppm"
    pamscale -xyfit 180 135 "$work/$1.ppm" | cjpeg -quality 80 -optimize -outfile "t_$4.jpg"
}

jpeg sunset 640 427 sonnenuntergang
jpeg lake 640 427 bergsee
jpeg forest 427 640 wald
jpeg night 640 427 nacht
draw flowers 480 320 > "$work/flowers.ppm"
pnmtopng -compression 9 "$work/flowers.ppm" > blumen.png
pamscale -xyfit 180 135 "$work/flowers.ppm" | pnmtopng -compression 9 > t_blumen.png
draw lighthouse 400 300 > "$work/lighthouse.ppm"
pnmquant 64 "$work/lighthouse.ppm" 2>/dev/null | ppmtogif 2>/dev/null > leuchtturm.gif
pamscale -xyfit 180 135 "$work/lighthouse.ppm" | pnmquant 64 2>/dev/null | ppmtogif 2>/dev/null > t_leuchtturm.gif
