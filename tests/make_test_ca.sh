#!/usr/bin/env bash
# Makes the tests' certificate authority, a server certificate for 127.0.0.1 and localhost
# signed by it, and a self-signed certificate no client trusts, in the folder given.
set -euo pipefail
d=$1
mkdir -p "$d"
cd "$d"
printf 'basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n' > ext.cnf
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj /CN=zeb-test-ca \
  -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout server.key -out server.csr 2>/dev/null
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 3650 \
  -extfile ext.cnf -out server.pem 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1 -keyout untrusted.key -out untrusted.pem 2>/dev/null
