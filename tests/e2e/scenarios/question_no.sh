# A "!" question answered No ends the installer with status 0 before any dialog opens.
make_readme_installer asked --title "E2E Test" --question "Install the E2E files?"
start_installer "$E2E_TMP/asked.exe"
controls=$(drive wait "E2E Test" "$E2E_WINDOW_MS") || fail "no question box"
expect_equal "question text" "$(control_text "$controls" 65535)" "Install the E2E files?"
[ -z "$(control_text "$controls" 100)" ] || fail "the install dialog opened before the question was answered"
screenshot question_no
drive press "E2E Test" 7
status=0; installer_status || status=$?
expect_equal "exit status" "$status" 0
