#!/usr/bin/env bash
# The release's own packing, signing and bill of materials (scripts/release's functions) on the
# 32-bit programs already built in $1: the archive must hold exactly the programs and the files
# listed below, each document as it is in the sources, with every link of the README and of what
# it links working from the archive; signed with a throw-away certificate, each program must
# verify against that certificate only, be its unsigned build plus the signature, and the bill
# must name every file of the archive with its sums and the licence. Also the release's time
# and commit in a source tree without git. No network: no time-stamping service.
set -euo pipefail
build=$(realpath "${1:?usage: signed_release_test.sh BUILD-FOLDER}")
here=$(cd "$(dirname "$0")" && pwd)
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
source "$here/../../scripts/release"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# A certificate for code signing and a second one that has signed nothing.
for name in signer stranger; do
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.pem" -days 2 \
        -subj "/CN=VESK test $name" -addext extendedKeyUsage=codeSigning \
        -addext keyUsage=digitalSignature 2>/dev/null
done
openssl pkcs12 -export -inkey signer.key -in signer.pem -out signer.p12 -passout pass:'a b$c'

SOURCE_DATE_EPOCH=$(date +%s)
export SOURCE_DATE_EPOCH
unset VESK_SIGN_PKCS12 VESK_SIGN_TIMESTAMP_URL
mkdir unsigned signed
pack_archive win32 "$build" unsigned
VESK_SIGN_PKCS12=$work/signer.p12 VESK_SIGN_PASSWORD='a b$c' pack_archive win32 "$build" signed
archive=VeskCleaningWizard-$version-win32.zip
(cd unsigned && unzip -q "$archive") && (cd signed && unzip -q "$archive") || fail "cannot unpack"
shipped="VeskCleaningWizard.exe VeskClean.exe README.md LICENSE docs/deployment.md \
docs/screenshot-standard.png docs/screenshot-advanced.png policy/VeskCleaningWizard.admx \
policy/en-US/VeskCleaningWizard.adml"
[ "$(zipinfo -1 signed/"$archive" | tr '\n' ' ')" = "$shipped " ] ||
    fail "wrong entries: $(zipinfo -1 signed/"$archive" | tr '\n' ' ')"
for file in $shipped; do
    [[ $file == *.exe ]] || { cmp -s "$root/$file" "signed/$file" &&
        cmp -s "$root/$file" "unsigned/$file"; } || fail "the archive does not ship $file as it is"
done
python3 "$here/check_links.py" "signed/$archive"
# A newcomer's README: what administrators and developers need lives in the files it links.
[ "$(unzip -p signed/"$archive" README.md | wc -l)" -le 260 ] || fail "the README is over 260 lines"

for program in VeskCleaningWizard VeskClean; do
    osslsigncode verify -CAfile signer.pem -in "signed/$program.exe" >verified.txt 2>&1 ||
        fail "$program: $(cat verified.txt)"
    grep -q 'Signature verification: ok' verified.txt || fail "$program: $(cat verified.txt)"
    ! osslsigncode verify -CAfile stranger.pem -in "signed/$program.exe" >/dev/null 2>&1 ||
        fail "$program verifies against a certificate that did not sign it"
    ! osslsigncode verify -CAfile signer.pem -in "unsigned/$program.exe" >/dev/null 2>&1 ||
        fail "the unsigned $program verifies"
    python3 "$here/check_signed.py" "unsigned/$program.exe" "signed/$program.exe" >/dev/null
done

# The bill, first of this checkout, then of sources without git of their own (a folder inside
# this checkout, as an unpacked source archive may be) with their time given.
commit=$(git -C "$root" rev-parse HEAD 2>/dev/null || echo unknown)
[ "$(source_commit)" = "$commit" ] || fail "the commit is not this checkout's"
[ "$(unset SOURCE_DATE_EPOCH && source_date_epoch)" = "$(git -C "$root" log -1 --format=%ct)" ] ||
    fail "without SOURCE_DATE_EPOCH, the time is not the last commit's"
write_bill signed
python3 "$here/check_bill.py" "signed/VeskCleaningWizard-$version.spdx.json" \
    "$SOURCE_DATE_EPOCH" "$commit" "signed/$archive"
plain=$(mktemp -d "$root/build/plain-sources.XXXXXX")
trap 'rm -rf "$work" "$plain"' EXIT
mkdir "$plain/scripts"
cp "$root/scripts/release-bill.py" "$plain/scripts/"
[ "$(cd "$plain" && root=$plain SOURCE_DATE_EPOCH=86400 source_date_epoch)" = 86400 ] ||
    fail "a given SOURCE_DATE_EPOCH was not taken"
! (cd "$plain" && root=$plain && unset SOURCE_DATE_EPOCH && source_date_epoch) \
    >/dev/null 2>error || fail "a time without SOURCE_DATE_EPOCH and without git"
grep -q 'neither SOURCE_DATE_EPOCH is set nor is there a git commit' error ||
    fail "no plain message: $(cat error)"
(cd "$plain" && root=$plain && write_bill "$work/unsigned")
python3 "$here/check_bill.py" "unsigned/VeskCleaningWizard-$version.spdx.json" \
    "$SOURCE_DATE_EPOCH" unknown "unsigned/$archive"
echo "PASS"
