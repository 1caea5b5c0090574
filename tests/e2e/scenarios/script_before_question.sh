# A "$" entry in front of the "!" entry has already changed the title when the question is put.
printf '$WindowTitle=Caption From Script\r\n' > "$E2E_TMP/setup.scr"
make_readme_installer both --title "E2E Test" --script "$E2E_TMP/setup.scr" --question "Continue?"
start_installer "$E2E_TMP/both.exe"
controls=$(drive wait "Caption From Script" "$E2E_WINDOW_MS") || fail "the question is not captioned by the script"
expect_equal "question text" "$(control_text "$controls" 65535)" "Continue?"
drive press "Caption From Script" 7
status=0; installer_status || status=$?
expect_equal "exit status" "$status" 0
