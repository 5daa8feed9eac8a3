#!/usr/bin/env bash
# Makes the music files the libmusic tests read, with Debian's sox, lame and
# ffmpeg, into the folder given; also turns on trace log lines for the test
# executable there (OVLOG.ini). Deterministic: same tools, same bytes.
set -euo pipefail
out="$1"
mkdir -p "$out/media"
cd "$out/media"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

sox -n -r 44100 -c 2 -b 16 "$tmp/stereo.wav" synth 2 sine 440
sox -n -r 8000 -c 1 -b 16 "$tmp/mono8k.wav" synth 2 sine 440

# MP3: ID3v2 tags on a constant rate; ID3v1 only on a variable rate.
lame --quiet --noreplaygain -b 128 --id3v2-only --tt "Title One" --ta "Artist A" \
  --tl "Album X" --tn 7/12 --tg Rock "$tmp/stereo.wav" cbr128.mp3
lame --quiet --noreplaygain -V 2 --id3v1-only --tt "V1 Title" --ta "V1 Artist" \
  --tl "V1 Album" --tn 3 --tg Jazz "$tmp/stereo.wav" vbr.mp3
lame --quiet --noreplaygain -b 8 -m m --resample 8 "$tmp/mono8k.wav" mono8k.mp3

# WMA with metadata; ffmpeg writes no encoder-specific tags with bitexact.
ffmpeg -nostdin -loglevel error -y -i "$tmp/stereo.wav" -fflags +bitexact -c:a wmav2 -b:a 128k \
  -metadata title="WMA Title" -metadata artist="WMA Artist" -metadata album="WMA Album" \
  -metadata genre="Jazz" -metadata track="5" t128.wma
# M4A (AAC) with iTunes-style tags.
ffmpeg -nostdin -loglevel error -y -i "$tmp/stereo.wav" -c:a aac -b:a 128k \
  -metadata title="AAC Title" -metadata artist="AAC Artist" -metadata album="AAC Album" \
  -metadata genre="Pop" -metadata track="200/300" t128.m4a

printf '[Log]\r\nRecover=1\r\n' > "$out/OVLOG.ini"
