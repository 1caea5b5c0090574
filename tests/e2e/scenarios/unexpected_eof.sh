# An installer cut short inside an entry's data: skipping that data runs past the end of the file, "Unexpeted EOF".
mkdir "$E2E_TMP/payload"
head -c 4096 /dev/urandom > "$E2E_TMP/payload/random.bin"
make_installer cut --title "E2E Test" -C "$E2E_TMP/payload" .
truncate -s -1000 "$E2E_TMP/cut.exe"
expect_scan_error "$E2E_TMP/cut.exe" "Unexpeted EOF"
