#!/bin/sh
# Checks every PPD of the driver package with cupstestppd (Debian package
# cups-client) and then the few things cupstestppd cannot know: the keywords
# that the plug-ins look up by exact spelling.
#
# Usage: tests/ppd/check_ppds.sh [package directory]   (default: packaging/)
# Exit status 0 when every PPD passes, 1 otherwise.
#
# cupstestppd warns that ARCH30 and the KVSA* sizes are not Adobe standard
# names; those names are what the job header's paper table expects, so the
# warnings are expected and only FAIL counts.

set -u
here=$(cd "$(dirname "$0")" && pwd)
pkg=${1:-$here/../../packaging}

if ! command -v cupstestppd >/dev/null 2>&1; then
    echo "check_ppds: cupstestppd not found (apt-get install cups-client)" >&2
    exit 1
fi

# Option keywords the render plug-in maps into the job header.
input_slots="Auto ManualFeed Roll1 Roll2 Roll3 Roll4 Tray3 Tray4"
media_types="Any Bond Film Vellum"
paper_table="Letter Tabloid AnsiC AnsiD AnsiE ARCHA ARCHB ARCHC ARCHD ARCHE ARCH30
A4 A3 A2 A1 A0 B4 B3 B2 B1 KVSA0 KVSA1 KVSA2 KVSA3 KVSA1Small KVSA2Small
KVSA3Small ISOB4 ISOB3 ISOB2 ISOB1"

failed=0
count=0
fail() { echo "FAIL $1: $2"; failed=1; }

# Sorted, space-separated option keywords of one main keyword ("*InputSlot").
options() {
    sed -n "s/^\\$2 \\([^/:]*\\)[/:].*/\\1/p" "$1" | sort | tr '\n' ' ' | sed 's/ $//'
}

for ppd in "$pkg"/*.PPD "$pkg"/*.ppd; do
    [ -f "$ppd" ] || continue
    count=$((count + 1))
    name=$(basename "$ppd")

    # -W none: every conformance problem is an error, not a warning.
    out=$(cupstestppd -W none -v "$ppd" 2>&1)
    rc=$?
    if [ $rc -ne 0 ] || ! cupstestppd -W none "$ppd" 2>&1 | grep -q ": PASS\$"; then
        fail "$name" "cupstestppd exit status $rc"
        echo "$out"
    else
        echo "$out" | grep 'WARN' |
            grep -v 'WARN    Size "\(ARCH30\|KVSA[0-3]\(Small\)\{0,1\}\)" should be the Adobe standard name' |
            sed "s/^ */$name: /"
    fi

    if LC_ALL=C grep -q '[^[:print:][:space:]]' "$ppd"; then
        fail "$name" "non-ASCII bytes"
    fi

    pc=$(sed -n 's/^\*PCFileName: "\(.*\)"\r*$/\1/p' "$ppd")
    [ "$pc" = "$name" ] || fail "$name" "*PCFileName is \"$pc\""

    # The plug-ins take the model name from between the parentheses and
    # find the line only after a line feed, never on the first line.
    grep -q '^\*Product: "(Vastrelo [0-9][0-9]* PS)"' "$ppd" ||
        fail "$name" "*Product is not \"(Vastrelo nnnn PS)\""
    [ "$(head -n 1 "$ppd" | cut -c1-8)" != "*Product" ] ||
        fail "$name" "*Product on the first line"

    got=$(options "$ppd" '*InputSlot')
    want=$(echo $input_slots | tr ' ' '\n' | sort | tr '\n' ' ' | sed 's/ $//')
    [ "$got" = "$want" ] || fail "$name" "InputSlot options [$got], expected [$want]"

    got=$(options "$ppd" '*MediaType')
    want=$(echo $media_types | tr ' ' '\n' | sort | tr '\n' ' ' | sed 's/ $//')
    [ "$got" = "$want" ] || fail "$name" "MediaType options [$got], expected [$want]"

    for size in $(options "$ppd" '*PageSize'); do
        echo " $paper_table " | tr '\n' ' ' | grep -q " $size " ||
            fail "$name" "page size $size is not in the job header's paper table"
    done
    [ "$(options "$ppd" '*PageSize')" = "$(options "$ppd" '*PageRegion')" ] ||
        fail "$name" "PageSize and PageRegion list different sizes"
    grep -q '^\*CustomPageSize True:' "$ppd" || fail "$name" "no *CustomPageSize"
done

if [ $count -eq 0 ]; then
    echo "FAIL: no PPD in $pkg"
    exit 1
fi
[ $failed -eq 0 ] && echo "check_ppds: $count PPD files passed"
exit $failed
