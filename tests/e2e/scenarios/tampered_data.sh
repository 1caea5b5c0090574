# A check word that no longer matches the entries' data CRCs: the scan shows "Tampered DATA".
mkdir "$E2E_TMP/payload"
echo "first" > "$E2E_TMP/payload/one.txt"
echo "second" > "$E2E_TMP/payload/two.txt"
make_installer tampered --title "E2E Test" --check-word -C "$E2E_TMP/payload" .
# The check word is the archive's first two bytes.
patch_byte "$E2E_TMP/tampered.exe" "$(archive_offset)"
expect_scan_error "$E2E_TMP/tampered.exe" "Tampered DATA"
