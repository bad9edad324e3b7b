#!/usr/bin/env bash
# Writes the winget manifests (version, installer, default locale; schema 1.6.0) for one installer: the
# release one, never the simulator. Its exit code 3 means the machine has no KOACPI.DLL for the program.
#   packaging/winget-manifests.sh INSTALLER VERSION URL OUT_DIR
# The files go to OUT_DIR/<version>/, replacing those of the same version.
set -euo pipefail
fail() {
  echo "winget-manifests: $*" >&2
  exit 1
}
[ $# -eq 4 ] || fail "usage: winget-manifests.sh INSTALLER VERSION URL OUT_DIR"
installer=$1 version=$2 url=$3 out=$4
[ -f "$installer" ] || fail "no installer $installer"
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "version \"$version\" is not a.b.c"
[[ $url =~ ^https://[^[:space:]\"\']+$ ]] || fail "\"$url\" is not an https URL"

id=KORA.CPUVantor
schema=1.6.0
sha=$(sha256sum "$installer" | cut -d' ' -f1 | tr a-f A-F)
dir=$out/$version
mkdir -p "$dir"
header() { # manifest type
  echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$1.$schema.schema.json"
  echo
  echo "PackageIdentifier: $id"
  echo "PackageVersion: $version"
}

{
  header version
  echo "DefaultLocale: en-US"
  echo "ManifestType: version"
  echo "ManifestVersion: $schema"
} >"$dir/$id.yaml.part"

{
  header installer
  cat <<YAML
InstallerType: nullsoft
Scope: machine
InstallModes:
- interactive
- silent
- silentWithProgress
InstallerSwitches:
  InstallLocation: /D=<INSTALLPATH>
ExpectedReturnCodes:
- InstallerReturnCode: 3
  ReturnResponse: missingDependency
UpgradeBehavior: install
ElevationRequirement: elevatesSelf
AppsAndFeaturesEntries:
- DisplayName: CPU Vantor
  Publisher: KORA
  DisplayVersion: $version
Installers:
- Architecture: x86
  InstallerUrl: $url
  InstallerSha256: $sha
ManifestType: installer
ManifestVersion: $schema
YAML
} >"$dir/$id.installer.yaml.part"

{
  header defaultLocale
  cat <<YAML
PackageLocale: en-US
Publisher: KORA
PackageName: CPU Vantor
License: Proprietary
ShortDescription: Picks the CPU level, a BIOS setup setting, from the notification area.
Description: |-
  CPU Vantor lives in the notification area and lets you choose the CPU level, a BIOS setup setting with
  named options, at once or after a restart. Other programs can drive it through vantorctl.
Moniker: cpu-vantor
Tags:
- bios
- cpu
- tray
ManifestType: defaultLocale
ManifestVersion: $schema
YAML
} >"$dir/$id.locale.en-US.yaml.part"

for file in "$dir"/*.part; do
  mv -f "$file" "${file%.part}"
done
echo "winget-manifests: $dir"
