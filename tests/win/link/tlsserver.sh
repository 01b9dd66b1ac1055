#!/bin/sh
# tlsserver.sh DIR PORT: a throwaway self-signed certificate in DIR and an
# openssl TLS server on 127.0.0.1:PORT that sends every line back reversed.
# Its pid goes to DIR/pid; it ends by itself after two minutes.
dir=$1
port=$2
mkdir -p "$dir" || exit 1
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" \
  -subj /CN=localhost -days 1 >"$dir/req.log" 2>&1 || exit 1
echo $$ >"$dir/pid"
exec timeout 120 openssl s_server -accept "127.0.0.1:$port" -cert "$dir/cert.pem" -key "$dir/key.pem" \
  -rev -quiet >"$dir/server.log" 2>&1
