#!/bin/sh
# Writes the manual page quillet-db(1) from the tool's own help, so that the page says what
# the tool says: its version from --version, its description and exit status from --help, and
# each command's entry from that command's --help.
# Usage: quillet-db-manpage.sh TOOL MONTH OUTPUT
set -eu
tool=$1
month=$2
output=$3
version=$("$tool" --version | sed -n '1s/^quillet-db //p')
usage=$("$tool" --help)

# Help text as roff: backslashes and minus signs escaped, a line that starts with a control
# character kept as text, a blank line a new paragraph; a list in the help ("  term  what it
# is", then lines indented further) as a tagged paragraph for each term.
as_roff() {
    awk '
    function text(s) {
        gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s)
        if (s ~ /^[.\047]/) s = "\\&" s
        return s
    }
    /^$/ { print ".PP"; list = 0; next }
    /^  [^ ]/ {
        line = substr($0, 3)
        split(line, parts, /  +/)
        print ".TP 12"; print text(parts[1])
        rest = line; sub(/^[^ ]+( [^ ]+)*( *$|  +)/, "", rest)
        if (rest != "") print text(rest)
        list = 1; next
    }
    /^   +/ && list { sub(/^ +/, ""); print text($0); next }
    { if (list) print ".PP"; list = 0; print text($0) }
    '
}

{
    printf '.TH QUILLET-DB 1 "%s" "quillet-db %s" "User Commands"\n' "$month" "$version"
    echo '.SH NAME'
    echo "quillet-db \\- check, export, import, back up and restore Quillet's notes databases"
    echo '.SH SYNOPSIS'
    echo '.B quillet-db'
    echo '.I COMMAND'
    printf '%s\n' '[\fIARGUMENTS\fR]'
    echo '.br'
    echo '.B quillet-db'
    echo '.I COMMAND'
    echo '.B \-\-help'
    echo '.br'
    echo '.B quillet-db \-\-version'
    echo '.SH DESCRIPTION'
    echo 'Makes, checks, exports, imports, backs up and restores the notes databases of'
    echo '.BR quillet (1).'
    # The usage's paragraphs after its list of commands.
    printf '%s\n' "$usage" | sed -e '1,/^$/d' -e '1,/^$/d' -e '/^Exit status:/d' | as_roff
    echo '.SH COMMANDS'
    printf '%s\n' "$usage" | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' | while read -r command; do
        "$tool" "$command" --help | awk '
            done { print; next }
            /^$/ { done = 1; next }
            { sub(/^ *(Usage: )?/, ""); print > "/dev/stderr" }
        ' 2>"$output.usage" | as_roff >"$output.text"
        # A second usage line is a heading too, with no space between the two.
        sed -e 's/-/\\-/g' -e 's/^/.SS "/' -e 's/$/"/' -e '2s/^/.PD 0\n/' "$output.usage"
        sed -n '2{s/.*/.PD/p}' "$output.usage"
        cat "$output.text"
    done
    rm -f "$output.usage" "$output.text"
    echo '.SH EXIT STATUS'
    printf '%s\n' "$usage" | sed -n 's/^Exit status: //p' | as_roff
    echo '.SH SEE ALSO'
    echo '.BR quillet (1)'
} >"$output"
