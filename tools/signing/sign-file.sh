#!/usr/bin/env bash
# Signs a Windows executable in place with one of the test certificates (Authenticode, SHA-256).
#   sign-file.sh CERT_FOLDER NAME FILE     NAME is signer or other
set -euo pipefail
folder="${1:?}" name="${2:?}" file="${3:?}"
tmp="$file.signing"
osslsigncode sign -certs "$folder/$name.pem" -key "$folder/$name.key" -h sha256 \
    -n "Tervane Connect" -in "$file" -out "$tmp" >/dev/null
mv -f "$tmp" "$file"
