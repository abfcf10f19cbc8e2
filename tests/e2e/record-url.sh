#!/bin/sh
# A stand-in web browser for the end-to-end tests: Wine's winebrowser starts it with
# the address to open, and it appends that address, one a line, to "<this script>.log".
printf '%s\n' "$1" >> "$0.log"
