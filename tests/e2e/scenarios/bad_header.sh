# A changed byte in an entry's name breaks its header CRC: the scan shows "Bad header" and the installer ends with 0.
mkdir "$E2E_TMP/payload"
echo "payload" > "$E2E_TMP/payload/e2e-named-file.txt"
make_installer broken --title "E2E Test" -C "$E2E_TMP/payload" .
patch_byte "$E2E_TMP/broken.exe" "$(find_bytes "$E2E_TMP/broken.exe" e2e-named-file "$(archive_offset)")"
expect_scan_error "$E2E_TMP/broken.exe" "Bad header"
