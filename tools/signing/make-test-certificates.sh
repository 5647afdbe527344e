#!/usr/bin/env bash
# Creates the test code-signing certificates in a build folder (never in the repository):
#   signer.key / signer.pem   "Tervane Test Signing", the certificate the demo build pins
#   other.key  / other.pem    "Unrelated Test Publisher", a valid signer that is not pinned
# and signer.sha256: the SHA-256 of the signer certificate's DER bytes, lower-case hex.
# Existing files are kept, so a build folder keeps one identity.
set -euo pipefail
out="${1:?usage: make-test-certificates.sh OUTPUT_FOLDER}"
mkdir -p "$out"
cd "$out"

make_cert() {  # make_cert NAME "SUBJECT"
    local name="$1" subject="$2"
    [ -s "$name.pem" ] && [ -s "$name.key" ] && return 0
    cat >"$name.cnf" <<CNF
[req]
distinguished_name = dn
x509_extensions = ext
prompt = no
[dn]
CN = $subject
O = $subject
[ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
CNF
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
        -keyout "$name.key" -out "$name.pem" -config "$name.cnf" 2>/dev/null
    rm -f "$name.cnf"
}

make_cert signer "Tervane Test Signing"
make_cert other "Unrelated Test Publisher"
openssl x509 -in signer.pem -outform DER | sha256sum | cut -d' ' -f1 >signer.sha256
openssl x509 -in other.pem -outform DER | sha256sum | cut -d' ' -f1 >other.sha256
