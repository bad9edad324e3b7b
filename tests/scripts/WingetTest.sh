#!/usr/bin/env bash
# The winget manifests package.sh writes: parsed as YAML and compared with the installer built beside
# them (hash, version, file name), again after the build changes; the manifests kept in packaging/winget
# must parse and agree with themselves.
set -uo pipefail
root=${1:?source folder}
# Fake builds cannot be signed: whatever certificate the caller's environment names is not used here.
unset KO_SIGN_CERT KO_SIGN_KEY KO_SIGN_PASS_FILE KO_SIGN_TIMESTAMP
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=scripts/checks.sh
. "$root/scripts/checks.sh"
not() { ! "$@" >/dev/null; }

# Checks one manifest folder against an installer (or, without one, against itself only); prints why not.
validate() { # folder [installer version]
  python3 - "$@" <<'PY'
import hashlib, os, sys, yaml
folder = sys.argv[1]
installer = sys.argv[2] if len(sys.argv) > 2 else None
version = sys.argv[3] if len(sys.argv) > 3 else None
ident = "KORA.CPUVantor"
kinds = {ident + ".yaml": "version", ident + ".installer.yaml": "installer",
         ident + ".locale.en-US.yaml": "defaultLocale"}
problems = []
if sorted(os.listdir(folder)) != sorted(kinds):
    problems.append("files %s" % sorted(os.listdir(folder)))
docs = {}
for name, kind in kinds.items():
    path = os.path.join(folder, name)
    try:
        with open(path) as f:
            text = f.read()
        docs[kind] = yaml.safe_load(text)
    except Exception as e:
        problems.append("%s does not parse: %s" % (name, e))
        continue
    doc = docs[kind]
    schema = "https://aka.ms/winget-manifest.%s.%s.schema.json" % (kind, doc.get("ManifestVersion"))
    if schema not in text.splitlines()[0]:
        problems.append("%s names no schema %s" % (name, schema))
    if doc.get("ManifestType") != kind:
        problems.append("%s has type %r" % (name, doc.get("ManifestType")))
    if tuple(int(p) for p in str(doc.get("ManifestVersion", "0")).split(".")) < (1, 6, 0):
        problems.append("%s uses schema %r" % (name, doc.get("ManifestVersion")))
    if doc.get("PackageIdentifier") != ident:
        problems.append("%s is for %r" % (name, doc.get("PackageIdentifier")))
if len(docs) == 3:
    versions = {d.get("PackageVersion") for d in docs.values()}
    if len(versions) != 1 or os.path.basename(os.path.normpath(folder)) not in versions:
        problems.append("versions %s in folder %s" % (versions, folder))
    if version and versions != {version}:
        problems.append("versions %s, the build is %s" % (versions, version))
    if docs["version"].get("DefaultLocale") != docs["defaultLocale"].get("PackageLocale"):
        problems.append("the default locale has no manifest")
    inst = docs["installer"]
    entries = inst.get("Installers") or []
    if len(entries) != 1:
        problems.append("%d installers" % len(entries))
    else:
        entry = entries[0]
        sha = str(entry.get("InstallerSha256", ""))
        if len(sha) != 64 or any(c not in "0123456789ABCDEF" for c in sha):
            problems.append("hash %r" % sha)
        if entry.get("Architecture") != "x86" or inst.get("InstallerType") != "nullsoft":
            problems.append("not the x86 nullsoft installer")
        if not str(entry.get("InstallerUrl", "")).startswith("https://"):
            problems.append("url %r" % entry.get("InstallerUrl"))
        if installer:
            with open(installer, "rb") as f:
                actual = hashlib.sha256(f.read()).hexdigest().upper()
            if sha != actual:
                problems.append("hash %s, the installer's is %s" % (sha, actual))
            if not str(entry.get("InstallerUrl", "")).endswith("/" + os.path.basename(installer)):
                problems.append("url %r does not name %s" % (entry.get("InstallerUrl"), installer))
    if inst.get("InstallerSwitches", {}).get("InstallLocation") != "/D=<INSTALLPATH>":
        problems.append("no install location switch")
    codes = {c.get("InstallerReturnCode"): c.get("ReturnResponse") for c in inst.get("ExpectedReturnCodes") or []}
    if codes.get(3) != "missingDependency":
        problems.append("exit code 3 (no KOACPI.DLL) is not a missing dependency: %r" % codes)
    if any("simulator" in yaml.safe_dump(d).lower() for d in docs.values()):
        problems.append("a manifest names the simulator package")
for p in problems:
    print(p)
sys.exit(1 if problems else 0)
PY
}

# A fake i686 build, as the package test makes one.
make_build() {
  local dir=$1
  mkdir -p "$dir/bin/Resource"
  printf 'VERSION=3.1.4\nARCH=i686\nBUILD_TYPE=Release\n' >"$dir/product.env"
  for name in CpuVantor.exe pngio.dll KOACPI.DLL vantorctl.exe; do # the stand-in for the simulator
    echo "fake $name" >"$dir/bin/$name"
  done
  for picture in "$root"/Resource/*.png "$root"/Resource/*.ico "$root"/Resource/[0-9]*/*.png; do
    name=${picture#"$root"/Resource/}
    [[ $name != */* ]] || mkdir -p "$dir/bin/Resource/${name%/*}"
    echo "fake ${name##*/}" >"$dir/bin/Resource/$name"
  done
}
package() {
  "$root/scripts/package.sh" --build-dir "$work/build" --out "$work/out" --winget-dir "$work/winget" \
    --url-base https://example.test/dl/ >"$work/log" 2>&1
}

make_build "$work/build"
check "package writes the manifests" package
setup=$work/out/CpuVantor-3.1.4-setup-x86.exe
check "the manifests match the installer" validate "$work/winget/3.1.4" "$setup" 3.1.4
check "the URL is the base, the version and the file" \
  grep -qF "InstallerUrl: https://example.test/dl/3.1.4/CpuVantor-3.1.4-setup-x86.exe" \
  "$work/winget/3.1.4/KORA.CPUVantor.installer.yaml"
cp "$work/winget/3.1.4/KORA.CPUVantor.installer.yaml" "$work/first.yaml"

# Another build: a new installer, and the manifests follow it.
echo "changed" >>"$work/build/bin/CpuVantor.exe"
check "a changed build packages again" package
check "the manifests follow the new installer" validate "$work/winget/3.1.4" "$setup" 3.1.4
check "the hash changed with it" bash -c '! cmp -s "$0" "$1"' "$work/first.yaml" \
  "$work/winget/3.1.4/KORA.CPUVantor.installer.yaml"
# The check itself catches a stale hash.
cp "$work/first.yaml" "$work/winget/3.1.4/KORA.CPUVantor.installer.yaml"
check "the old manifest does not fit the new installer" not validate "$work/winget/3.1.4" "$setup" 3.1.4

check "a URL that is not https is refused" bash -c '! "$0" "$1" 1.0.0 http://x.test/a.exe "$2" 2>/dev/null' \
  "$root/packaging/winget-manifests.sh" "$setup" "$work/bad"
check "a refused URL writes nothing" test ! -e "$work/bad"

# The manifests kept in the repository.
kept=0
for folder in "$root"/packaging/winget/*/; do
  [ -d "$folder" ] || continue
  kept=$((kept + 1))
  check "kept manifests $(basename "$folder") are sound" validate "$folder"
done
check "the repository keeps manifests" test "$kept" -gt 0

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
