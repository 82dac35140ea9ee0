#!/bin/sh
# Draws every picture both programs compile in, and the program icon Tarvik.ico.
# Needs ImageMagick's convert and python3 (for the ICO container: ImageMagick
# cannot be told to write 4- and 8-bit icon entries).
#
# Each picture is drawn on a 512 x 512 working canvas and scaled down to its
# final size, which gives clean anti-aliased edges at every size.
set -eu

OUT=$(cd "$(dirname "$0")" && pwd)
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
S=512

# shape NAME TOP BOTTOM OUTLINE MVG
# A layer holding the MVG drawing (white = inside, "fill black" cuts holes),
# filled with a vertical gradient TOP..BOTTOM and ringed with OUTLINE
# ("none" for no ring).
shape() {
    mask=$T/$1-mask.png
    convert -size ${S}x${S} xc:black -fill white -stroke none -draw "$5" "$mask"
    convert -size ${S}x${S} gradient:"$2"-"$3" -alpha set \( "$mask" -alpha copy \) \
        -compose DstIn -composite "$T/$1-fill.png"
    if [ "$4" = none ]; then
        mv "$T/$1-fill.png" "$T/$1.png"
        return
    fi
    convert -size ${S}x${S} xc:"$4" \( "$mask" -morphology Dilate Disk:7 \) -alpha off \
        -compose CopyOpacity -composite "$T/$1-fill.png" -compose Over -composite "$T/$1.png"
}

# picture FILE SIZE LAYER... : stacks the layers and scales to SIZE x SIZE.
picture() {
    file=$1 size=$2
    shift 2
    layers=""
    for layer in "$@"; do layers="$layers $T/$layer.png"; done
    # shellcheck disable=SC2086
    convert $layers -background none -flatten -resize "${size}x${size}" \
        -strip -define png:exclude-chunks=date,time "PNG32:$OUT/$file"
}

# ---- indicator lamps: a metal bezel, a glossy dome and a highlight ----
lamp() {
    shape bezel '#d4d8de' '#4a4f57' '#2b2e33' 'circle 256,256 256,28'
    shape well '#1c1c1c' '#3a3a3a' none 'circle 256,256 256,56'
    convert -size 760x760 radial-gradient:"$2"-"$3" -crop ${S}x${S}+190+200 +repage -alpha set \
        \( -size ${S}x${S} xc:black -fill white -draw 'circle 256,256 256,62' -alpha copy \) \
        -compose DstIn -composite "$T/dome.png"
    shape gloss '#ffffffd8' '#ffffff10' none 'ellipse 256,160 132,78 0,360'
    shape spark '#ffffff00' '#ffffff70' none 'ellipse 256,382 90,30 0,360'
    picture "$1" 48 bezel well dome gloss spark
}
lamp LedGrey.png '#e4e7ea' '#4b525a'
lamp LedGreen.png '#d8ffc0' '#087a14'
lamp LedRed.png '#ffc4b8' '#a50000'
lamp LedYellow.png '#fff8c0' '#b58900'

# ---- settings: a gear ----
gear=$(awk 'BEGIN {
    pi = atan2(0, -1); n = 10; ro = 236; ri = 188
    for (i = 0; i < n; i++) {
        a = i * 360 / n
        split(a - 11 " " a - 6 " " a + 6 " " a + 11 " " a + 18, d, " ")
        split(ri " " ro " " ro " " ri " " ri, r, " ")
        for (k = 1; k <= 5; k++) {
            t = d[k] * pi / 180
            printf "%.1f,%.1f ", 256 + r[k] * cos(t), 256 + r[k] * sin(t)
        }
    }
}')
shape gear '#dfe3e8' '#5d6470' '#33373e' "polygon $gear fill black circle 256,256 256,182"
shape hub '#8a929c' '#c9ced4' none 'circle 256,256 256,110 fill black circle 256,256 256,184'
picture settings.png 128 gear hub

# ---- new: a blank page with a folded corner ----
shape page '#ffffff' '#dfe6ee' '#4d5a68' 'polygon 110,36 322,36 410,124 410,476 110,476'
shape fold '#f4f7fa' '#b9c4d0' '#4d5a68' 'polygon 322,36 322,124 410,124'
picture new.png 256 page fold

# ---- open: an open folder with a sheet inside ----
shape back '#e9b13c' '#a86a12' '#6b430a' 'polygon 44,96 190,96 222,136 432,136 432,430 44,430'
shape sheet '#ffffff' '#e4e8ec' '#7a8591' 'rectangle 96,118 392,360'
shape front '#ffe07a' '#e8a22a' '#6b430a' 'polygon 100,214 486,214 430,440 36,440'
picture Open.png 256 back sheet front

# ---- save and save-all: floppy disks ----
floppy() { # NAME TRANSFORM
    shape "$1-body" '#3f74c8' '#1a3d7c' '#0c2148' \
        "$2 polygon 64,52 408,52 460,104 460,460 64,460"
    shape "$1-shutter" '#e6e9ec' '#98a1ab' '#4f5863' "$2 rectangle 150,52 370,196"
    shape "$1-slot" '#2b3440' '#2b3440' none "$2 rectangle 292,80 336,168"
    shape "$1-label" '#ffffff' '#e7eaee' '#4f5863' "$2 roundrectangle 112,270 412,460 16,16"
    shape "$1-lines" '#9aa4b0' '#9aa4b0' none \
        "$2 rectangle 144,316 380,328 rectangle 144,364 380,376 rectangle 144,412 380,424"
}
floppy one ''
picture save.png 256 one-body one-shutter one-slot one-label one-lines
floppy rear 'translate 150,10 scale 0.68,0.68'
floppy fore 'translate 18,150 scale 0.68,0.68'
picture Saveall.png 256 rear-body rear-shutter rear-slot rear-label rear-lines \
    fore-body fore-shutter fore-slot fore-label fore-lines

# ---- read and write: an arrow into or out of a controller box ----
device() {
    shape box '#c4cad2' '#6e7782' '#2f353c' 'roundrectangle 56,318 456,470 24,24'
    shape panel '#263038' '#3b4854' none 'roundrectangle 96,352 300,436 10,10'
    shape leds '#5cff6a' '#1aa52a' none 'circle 352,394 352,376 circle 408,394 408,376'
}
device
shape down '#7fb6ff' '#1747a6' '#0b2760' \
    'polygon 206,28 306,28 306,170 392,170 256,304 120,170 206,170'
picture Read.png 160 box panel leds down
shape up '#ffc36b' '#d85e0b' '#6e2c02' \
    'polygon 256,20 392,154 306,154 306,296 206,296 206,154 120,154'
picture Write.png 160 box panel leds up

# ---- compare: two opposed arrows over the controller box or a page ----
shape arrowthere '#9fe0a6' '#1f8a3a' '#0b4a1c' \
    'polygon 70,62 316,62 316,22 424,100 316,178 316,138 70,138'
shape arrowback '#ffd27a' '#d4780e' '#6e3602' \
    'polygon 442,196 196,196 196,156 88,234 196,312 196,272 442,272'
picture Compare.png 160 box panel leds arrowthere arrowback
shape cmpsheet '#ffffff' '#dfe6ee' '#4d5a68' 'polygon 150,150 352,150 430,228 430,492 150,492'
shape cmpcorner '#f4f7fa' '#b9c4d0' '#4d5a68' 'polygon 352,150 352,228 430,228'
shape cmplines '#9aa4b0' '#9aa4b0' none \
    'rectangle 192,356 392,370 rectangle 192,400 392,414 rectangle 192,444 392,458'
picture CompareFile.png 160 cmpsheet cmpcorner cmplines arrowthere arrowback

# ---- the product logo: a gas flame on a shield ----
shape shield '#3a72c4' '#0f2f66' '#08183a' \
    "path 'M 256,24 C 320,66 388,78 452,78 L 452,250 C 452,372 362,444 256,492 C 150,444 60,372 60,250 L 60,78 C 124,78 192,66 256,24 Z'"
shape flame '#e8401a' '#ffc22e' '#7a1a04' \
    "path 'M 262,96 C 300,170 376,222 370,318 C 364,398 314,442 256,442 C 194,442 146,400 146,330 C 146,266 186,236 196,184 C 224,214 232,244 236,268 C 256,214 270,164 262,96 Z'"
shape core '#ffe98a' '#fffbe6' none \
    "path 'M 258,250 C 282,292 318,320 314,364 C 310,402 286,420 256,420 C 226,420 200,400 200,366 C 200,330 226,316 236,292 C 244,312 248,326 250,336 C 262,308 266,282 258,250 Z'"
picture Tarvik.png 256 shield flame core
convert "$T/shield.png" "$T/flame.png" "$T/core.png" -background none -flatten "$T/logo.png"

# ---- exit: a door left open with an arrow walking out ----
shape frame '#6a4a2c' '#3d2714' '#1e1308' 'rectangle 84,40 324,476'
shape dark '#20262c' '#39424b' none 'rectangle 112,68 296,476'
shape door '#d49a55' '#8a5522' '#3a220c' 'polygon 112,68 214,104 214,506 112,476'
shape knob '#f3d27a' '#b38a22' none 'circle 192,300 192,284'
shape out '#ff7060' '#b81414' '#5a0606' \
    'polygon 250,220 384,220 384,160 490,258 384,356 384,296 250,296'
picture application-exit.png 128 frame dark door knob out

# ---- reset: a circular arrow ----
# The band is one polygon (outer edge forward, inner edge back): a stroked
# path would be closed by a chord across the gap.
reset=$(awk 'BEGIN {
    pi = atan2(0, -1); cx = 256; cy = 270; ro = 200; ri = 136; a0 = -58; a1 = 236
    for (d = a0; d <= a1; d += 2) printf "%.1f,%.1f ", cx + ro * cos(d * pi / 180), cy + ro * sin(d * pi / 180)
    for (d = a1; d >= a0; d -= 2) printf "%.1f,%.1f ", cx + ri * cos(d * pi / 180), cy + ri * sin(d * pi / 180)
}')
head=$(awk 'BEGIN {
    pi = atan2(0, -1); cx = 256; cy = 270; r = 168; a = 234 * pi / 180
    px = cx + r * cos(a); py = cy + r * sin(a); nx = cos(a); ny = sin(a); tx = -sin(a); ty = cos(a)
    printf "%.1f,%.1f ", px + 84 * nx, py + 84 * ny
    printf "%.1f,%.1f ", px + 104 * tx, py + 104 * ty
    printf "%.1f,%.1f", px - 84 * nx, py - 84 * ny
}')
shape reset '#6fe07a' '#137a2a' '#06401a' "polygon $reset polygon $head"
picture Reset.png 321 reset

# ---- connect and disconnect: plug and socket, joined or apart ----
plug() { # NAME TOP BOTTOM PLUG-SHIFT SOCKET-SHIFT
    shape "$1-cords" '#3a3f45' '#1c1f23' none \
        "rectangle $((12 + $4)),238 $((130 + $4)),274 rectangle $((382 + $5)),238 $((500 + $5)),274"
    shape "$1-pins" '#f1f3f5' '#9aa3ad' '#4b535c' \
        "rectangle $((240 + $4)),204 $((300 + $4)),228 rectangle $((240 + $4)),284 $((300 + $4)),308"
    shape "$1-plug" "$2" "$3" '#1d2a1d' "roundrectangle $((110 + $4)),170 $((246 + $4)),342 22,22"
    shape "$1-socket" "$2" "$3" '#1d2a1d' "roundrectangle $((262 + $5)),170 $((398 + $5)),342 22,22"
}
plug on '#8fe08f' '#2e7d32' -8 -16
picture connect.png 128 on-cords on-pins on-plug on-socket
plug off '#ff9a8a' '#b71c1c' -70 62
shape gap '#ffd54f' '#ff8f00' '#6e3b00' 'polygon 238,120 288,220 258,226 300,330 230,210 262,204'
picture disconnect.png 128 off-cords off-pins off-plug off-socket gap

# ---- no sound: a loudspeaker with a red cross ----
shape speaker '#b7c0ca' '#4c5561' '#20262d' 'polygon 48,190 140,190 268,80 268,432 140,322 48,322'
shape cross '#ff5a4a' '#b00f0f' '#4a0303' \
    'stroke white stroke-width 52 stroke-linecap round line 322,186 464,328 line 464,186 322,328'
picture NoSound.png 299 speaker cross

# ---- controllers: three controller cases side by side, each with a lamp ----
shape cases '#e6ebf0' '#8d98a5' '#2f3740' \
    'roundrectangle 24,120 168,440 18,18 roundrectangle 184,72 328,440 18,18 roundrectangle 344,120 488,440 18,18'
shape leds '#7dff8a' '#0f8a22' '#06401a' \
    'circle 96,184 96,154 circle 256,136 256,106 circle 416,184 416,154'
shape slots '#4a535d' '#2a3036' none \
    'rectangle 56,260 136,284 rectangle 216,212 296,236 rectangle 376,260 456,284'
picture Controllers.png 128 cases leds slots

# ---- the program icon: nine images of the logo ----
python3 - "$T/logo.png" "$OUT/Tarvik.ico" <<'PYTHON'
import struct
import subprocess
import sys

source, target = sys.argv[1], sys.argv[2]
# (size, bits per pixel), in the order the icon lists them
ENTRIES = [(16, 4), (32, 4), (16, 8), (32, 8), (48, 8), (16, 32), (32, 32), (48, 32), (256, 32)]


def convert(*args):
    return subprocess.run(["convert", source, *args], check=True, capture_output=True).stdout


def stride(bits):
    return (bits + 31) // 32 * 4


def and_mask(alpha, size):
    rows = []
    for y in reversed(range(size)):
        row = bytearray(stride(size))
        for x in range(size):
            if alpha[y * size + x] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
    return b"".join(rows)


def header(size, bits, data_size):
    return struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, data_size, 0, 0, 0, 0)


def palette_entry(size, bits):
    colours = (1 << bits) - 1  # one slot kept for the black behind transparent pixels
    alpha = convert("-resize", f"{size}x{size}", "-alpha", "extract", "-depth", "8", "gray:-")
    rgb = convert("-resize", f"{size}x{size}", "-background", "black", "-alpha", "remove",
                  "+dither", "-colors", str(colours), "-depth", "8", "rgb:-")
    pixels = [rgb[i:i + 3] for i in range(0, len(rgb), 3)]
    pixels = [p if alpha[i] >= 128 else b"\0\0\0" for i, p in enumerate(pixels)]
    table = sorted(set(pixels) | {b"\0\0\0"})
    if len(table) > 1 << bits:
        sys.exit(f"{size}x{size}: {len(table)} colours do not fit {bits} bits")
    index = {c: i for i, c in enumerate(table)}
    palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in table)
    palette += bytes(4 * ((1 << bits) - len(table)))
    rows = []
    for y in reversed(range(size)):
        row = bytearray(stride(size * bits))
        for x in range(size):
            i = index[pixels[y * size + x]]
            if bits == 8:
                row[x] = i
            else:
                row[x // 2] |= i << (4 if x % 2 == 0 else 0)
        rows.append(bytes(row))
    xor = b"".join(rows)
    mask = and_mask(alpha, size)
    return header(size, bits, len(xor) + len(mask)) + palette + xor + mask


def true_colour_entry(size):
    if size == 256:  # the large image is stored as PNG, as desktops expect
        return convert("-resize", "256x256", "-strip", "-define",
                       "png:exclude-chunks=date,time", "PNG32:-")
    rgba = convert("-resize", f"{size}x{size}", "-depth", "8", "rgba:-")
    rows = []
    for y in reversed(range(size)):
        line = rgba[y * size * 4:(y + 1) * size * 4]
        rows.append(b"".join(bytes((line[i + 2], line[i + 1], line[i], line[i + 3]))
                             for i in range(0, len(line), 4)))
    xor = b"".join(rows)
    mask = and_mask(rgba[3::4], size)
    return header(size, 32, len(xor) + len(mask)) + xor + mask


images = [palette_entry(s, b) if b < 32 else true_colour_entry(s) for s, b in ENTRIES]
directory = struct.pack("<HHH", 0, 1, len(images))
offset = len(directory) + 16 * len(images)
for (size, bits), data in zip(ENTRIES, images):
    directory += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0,
                             1, bits, len(data), offset)
    offset += len(data)
with open(target, "wb") as out:
    out.write(directory + b"".join(images))
PYTHON
