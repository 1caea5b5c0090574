# The main path: a typed destination, OK, every file extracted byte for byte into its folder, exit status 1.
mkdir -p "$E2E_TMP/payload/docs/deep"
seq 1 20000 > "$E2E_TMP/payload/numbers.txt"
head -c 70000 /dev/urandom > "$E2E_TMP/payload/docs/random.bin"
printf 'short\r\n' > "$E2E_TMP/payload/docs/deep/note.txt"
: > "$E2E_TMP/payload/empty.txt"
make_installer full --title "E2E Test" --dir 'C:\proposed' -C "$E2E_TMP/payload" .
start_installer "$E2E_TMP/full.exe"
drive wait "E2E Test" "$E2E_WINDOW_MS" >/dev/null || fail "no dialog"
drive type "E2E Test" 100 'C:\typed target'
expect_equal "DirectoryField after typing" "$(control_text "$(drive texts "E2E Test")" 100)" 'C:\typed target'
drive press "E2E Test" 1
status=0; installer_status || status=$?
expect_equal "exit status" "$status" 1
diff -r "$E2E_TMP/payload" "$WINEPREFIX/drive_c/typed target" >&2 || fail "extracted tree differs"
[ ! -e "$WINEPREFIX/drive_c/proposed" ] || fail "the proposed folder was used instead of the typed one"
