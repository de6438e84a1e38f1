#!/bin/sh
# Input filter for Doxygen: the public headers are plain C with plain comments.
# - The header's opening essay becomes the file's documentation.
# - The comment before a declaration (a function or a #define) documents it; when one comment
#   stands before several declarations in a row (a family of getters, a set of constants), the
#   later ones copy the first one's.
# - A comment after a declaration, enumerator or #define on the same line documents it.
# - The "==== ... ====" section rulers stay plain comments.
# Line numbers are kept, so that warnings point at the header's own lines.
exec awk -v DEFINE='^[[:space:]]*#[[:space:]]*define[[:space:]]' '
function trailing(s) {
    if (match(s, /[;,{][[:space:]]*\/\* /) || (s ~ DEFINE && match(s, /[^[:space:]][[:space:]]+\/\* /)))
        s = substr(s, 1, RSTART + RLENGTH - 4) "/**< " substr(s, RSTART + RLENGTH)
    return s
}
function flush(   i) {
    if (n == 0) return
    seen = 0; name = ""; pending = 0
    for (i = 1; i <= n; i++) {
        define = buf[i] ~ DEFINE
        if (i > clines && (define || buf[i] ~ /NYX_API/)) {
            seen++
            if (seen == 1 && define) { split(buf[i], word, /[[:space:](]+/); name = word[2] }
            else if (seen == 1 && match(buf[i], /[A-Za-z_0-9]+\(/)) name = substr(buf[i], RSTART, RLENGTH - 1)
            pending = seen >= 2 && name != ""
        }
        # The later declaration ends here: on its #define line, or on the line of its ";".
        if (pending && (define || buf[i] ~ /;[[:space:]]*$/)) {
            if (buf[i] !~ /\/\*\*</) buf[i] = buf[i] " /**< @copydoc " name " */"
            pending = 0
        }
        print buf[i]
    }
    n = 0; incomment = 0; indecl = 0
}
NR == 1 && $0 == "/*" { print "/** @file"; next }
/^[[:space:]]*\/\* =/ { flush(); print; next }
/^[[:space:]]*\/\* / && !incomment {
    flush()
    sub(/\/\* /, "/** ")
    n = 1; buf[1] = $0
    incomment = ($0 !~ /\*\//)
    clines = incomment ? 0 : 1
    indecl = 1
    next
}
indecl && incomment { buf[++n] = $0; if ($0 ~ /\*\//) { incomment = 0; clines = n }; next }
indecl && /^[[:space:]]*$/ { flush(); print; next }
indecl && /^[[:space:]]*#/ && $0 !~ DEFINE { flush(); print; next }
indecl { buf[++n] = trailing($0); next }
{ print trailing($0) }
END { flush() }
' "$1"
