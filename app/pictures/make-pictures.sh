#!/usr/bin/env bash
# Makes the About window's two pictures with ImageMagick and the DejaVu fonts:
#   about-artwork.jpg  251 x 294, the logo and contact lines. The About window lays two click areas
#                      over it: the web-site line must lie in rows 204..222, the e-mail lines in
#                      rows 237..269 (the window shows the picture 12 rows above its client area).
#   about-banner.bmp   250 x 161, 24 bits per pixel, the red banner.
# The addresses shown must match app/OrvexPages.h. Run from anywhere; writes next to this script.
set -euo pipefail
cd "$(dirname "$0")"

sans=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
blue='#1f5fa8'
orange='#f29400'

convert -size 251x294 xc:white \
    -fill '#eef3fa' -stroke '#d5e1f0' -strokewidth 1 -draw 'roundrectangle 8,16 242,188 10,10' \
    -fill none -stroke "$blue" -strokewidth 7 -draw 'circle 125,68 125,34' \
    -stroke "$blue" -strokewidth 2 -draw 'line 125,44 104,82' -draw 'line 104,82 146,82' -draw 'line 146,82 125,44' \
    -stroke none -fill "$orange" \
    -draw 'circle 125,44 125,51' -draw 'circle 104,82 104,89' -draw 'circle 146,82 146,89' \
    -fill "$blue" -font "$bold" -pointsize 38 -gravity north -annotate +0+106 'Orvex' \
    -fill '#555555' -font "$sans" -pointsize 11 -annotate +0+152 'Netzwerk-Informationen' \
    -annotate +0+166 'auf einen Blick' \
    -fill "$blue" -font "$bold" -pointsize 12 -annotate +0+206 'Web: orvex.example.org' \
    -fill '#333333' -font "$sans" -pointsize 11 -annotate +0+237 'E-Mail: kontakt@orvex.example.org' \
    -annotate +0+250 'Support: hilfe@orvex.example.org' \
    -quality 92 -sampling-factor 1x1 -strip about-artwork.jpg

convert -size 250x161 xc:'#c8102e' \
    -fill none -stroke '#8c0b20' -strokewidth 4 -draw 'rectangle 2,2 247,158' -stroke none \
    -fill white -font "$bold" -pointsize 17 -gravity north -annotate +0+14 'Gefällt Ihnen Orvex?' \
    -font "$sans" -pointsize 13 -annotate +0+44 'Zeigen Sie Ihre Anerkennung' \
    -annotate +0+62 'und unterstützen Sie die' \
    -annotate +0+80 'Weiterentwicklung!' \
    -fill white -draw 'roundrectangle 45,112 205,140 12,12' \
    -fill '#c8102e' -font "$bold" -pointsize 13 -annotate +0+117 'Jetzt unterstützen »' \
    -alpha off -type TrueColor -strip BMP3:about-banner.bmp
