#!/usr/bin/env bash
# Authenticode signatures through osslsigncode, with the certificate the environment names:
#   KO_SIGN_CERT        the code-signing certificate, PEM (the chain up to the root may follow it)
#   KO_SIGN_KEY         its private key, PEM
#   KO_SIGN_PASS_FILE   a file holding the key's password, when it has one (optional)
#   KO_SIGN_TIMESTAMP   the URL of an RFC 3161 timestamp server (optional; without one a signature holds
#                       only while the certificate is valid)
# Usage:
#   sign.sh FILE...                 signs each program file in place (SHA-256)
#   sign.sh --configured            prints the certificate's subject when both are given and fit each
#                                   other, nothing when neither is; fails, saying why, on anything else
#   sign.sh --verify CA FILE...     checks each file's signature against the certificate CA
#   sign.sh --throwaway DIR         makes DIR/cert.pem and DIR/key.pem, a self-signed code-signing
#                                   certificate for one day (CI signs with it and checks every signature)
set -euo pipefail

fail() {
  echo "sign: $*" >&2
  exit 1
}

# The subject of a usable configuration, or nothing; any half-given or broken one fails.
configured() {
  local cert=${KO_SIGN_CERT:-} key=${KO_SIGN_KEY:-} pass=${KO_SIGN_PASS_FILE:-}
  [ -z "$cert" ] && [ -z "$key" ] && return 0
  [ -n "$cert" ] || fail "KO_SIGN_KEY is set but KO_SIGN_CERT is not: both are needed to sign"
  [ -n "$key" ] || fail "KO_SIGN_CERT is set but KO_SIGN_KEY is not: both are needed to sign"
  [ -f "$cert" ] || fail "no certificate file $cert (KO_SIGN_CERT)"
  [ -f "$key" ] || fail "no key file $key (KO_SIGN_KEY)"
  [ -z "$pass" ] || [ -f "$pass" ] || fail "no password file $pass (KO_SIGN_PASS_FILE)"
  command -v osslsigncode >/dev/null || fail "osslsigncode not found (scripts/bootstrap.sh installs it)"
  command -v openssl >/dev/null || fail "openssl not found (scripts/bootstrap.sh installs it)"
  local subject cert_key key_key
  subject=$(openssl x509 -in "$cert" -noout -subject -nameopt oneline 2>/dev/null) ||
    fail "$cert is not a PEM certificate (KO_SIGN_CERT)"
  cert_key=$(openssl x509 -in "$cert" -noout -pubkey 2>/dev/null)
  key_key=$(openssl pkey -in "$key" -pubout ${pass:+-passin "file:$pass"} 2>/dev/null) ||
    fail "$key is not a PEM private key, or its password is wrong (KO_SIGN_KEY, KO_SIGN_PASS_FILE)"
  [ "$cert_key" = "$key_key" ] || fail "the key $key does not belong to the certificate $cert"
  echo "${subject#subject=}"
}

case ${1:-} in
  --configured)
    [ $# -eq 1 ] || fail "usage: sign.sh --configured"
    configured
    ;;
  --verify)
    [ $# -ge 3 ] || fail "usage: sign.sh --verify CA FILE..."
    ca=$2
    shift 2
    [ -f "$ca" ] || fail "no certificate $ca"
    command -v osslsigncode >/dev/null || fail "osslsigncode not found (scripts/bootstrap.sh installs it)"
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    bad=0
    for file in "$@"; do
      if ! osslsigncode verify -CAfile "$ca" -in "$file" >"$log" 2>&1; then
        echo "sign: $file carries no signature that $ca vouches for:" >&2
        grep -iE 'error|fail|no signature' "$log" | head -n 5 >&2
        bad=1
      fi
    done
    exit $bad
    ;;
  --throwaway)
    [ $# -eq 2 ] || fail "usage: sign.sh --throwaway DIR"
    mkdir -p "$2"
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -keyout "$2/key.pem" -out "$2/cert.pem" \
      -subj "/CN=CPU Vantor test signing (throwaway)" -addext "keyUsage=critical,digitalSignature" \
      -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 || fail "openssl could not make a certificate"
    ;;
  ''|-*)
    sed -n '2,16s/^# \{0,1\}//p' "$0" >&2
    exit 1
    ;;
  *)
    subject=$(configured)
    [ -n "$subject" ] || fail "nothing to sign with: set KO_SIGN_CERT and KO_SIGN_KEY"
    args=(-certs "$KO_SIGN_CERT" -key "$KO_SIGN_KEY" -h sha256 -n "CPU Vantor")
    [ -z "${KO_SIGN_PASS_FILE:-}" ] || args+=(-readpass "$KO_SIGN_PASS_FILE")
    [ -z "${KO_SIGN_TIMESTAMP:-}" ] || args+=(-ts "$KO_SIGN_TIMESTAMP")
    for file in "$@"; do
      [ -f "$file" ] || fail "no file $file to sign"
      rm -f "$file.signed"
      osslsigncode sign "${args[@]}" -in "$file" -out "$file.signed" >"$file.signlog" 2>&1 || {
        cat "$file.signlog" >&2
        rm -f "$file.signed" "$file.signlog"
        fail "osslsigncode could not sign $file"
      }
      rm -f "$file.signlog"
      mv -f "$file.signed" "$file"
    done
    ;;
esac
