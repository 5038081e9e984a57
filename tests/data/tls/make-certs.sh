#!/usr/bin/env bash
# Remakes the loopback TLS tests' authorities and certificates (valid 2000-2120, so no
# clock, however wrong, finds them expired or not yet valid; expired.pem ended in 2001).
# Run from this folder.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sign() { # out, csr, issuer cert or "self", issuer key, extensions[, start, end]
  mkdir -p "$work/db"; : > "$work/db/index"; echo 01 > "$work/db/serial"
  cat > "$work/ca.cnf" <<CNF
[ca]
default_ca = d
[d]
database = $work/db/index
serial = $work/db/serial
new_certs_dir = $work/db
default_md = sha256
policy = p
copy_extensions = none
unique_subject = no
[p]
commonName = supplied
[ext]
$5
CNF
  local issuer=(-cert "$3")
  [ "$3" = self ] && issuer=(-selfsign)
  openssl ca -batch -notext -config "$work/ca.cnf" -extensions ext -keyfile "$4" \
    "${issuer[@]}" -startdate "${6:-20000101000000Z}" -enddate "${7:-21200101000000Z}" -in "$2" -out "$1" 2>/dev/null
}
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null; }
csr() { openssl req -new -key "$1" -subj "/CN=$2" -out "$3"; }

ca_ext='basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign'
leaf_ext() { printf 'basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName=%s' "$1"; }

for ca in test-ca:"Drovane Test Authority" stranger-ca:"Unknown Test Authority"; do
  name=${ca%%:*}
  key "$work/$name-key.pem"; csr "$work/$name-key.pem" "${ca#*:}" "$work/$name.csr"
  sign "$name.pem" "$work/$name.csr" self "$work/$name-key.pem" "$ca_ext"
done
leaf() { # name, issuer, subject, alt names[, start, end]
  key "$1-key.pem"; csr "$1-key.pem" "$3" "$work/$1.csr"
  sign "$1.pem" "$work/$1.csr" "$2.pem" "$work/$2-key.pem" "$(leaf_ext "$4")" "${@:5}"
}
leaf loopback test-ca 127.0.0.1 "IP:127.0.0.1,DNS:localhost"
leaf other-host test-ca other.example "DNS:other.example"
leaf stranger stranger-ca 127.0.0.1 "IP:127.0.0.1,DNS:localhost"
leaf expired test-ca 127.0.0.1 "IP:127.0.0.1,DNS:localhost" 20000101000000Z 20010101000000Z
