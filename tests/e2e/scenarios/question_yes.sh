# A "!" question answered Yes lets the install dialog open; Cancel then ends it with status 0.
make_readme_installer asked --title "E2E Test" --dir 'C:\Asked' --question "Install the E2E files?"
start_installer "$E2E_TMP/asked.exe"
controls=$(drive wait "E2E Test" "$E2E_WINDOW_MS") || fail "no question box"
expect_equal "question text" "$(control_text "$controls" 65535)" "Install the E2E files?"
drive press "E2E Test" 6
# The box and the dialog share the caption: wait until the window with the directory field is the one shown.
directory=""
for _ in $(seq 30); do
  controls=$(drive wait "E2E Test" "$E2E_WINDOW_MS") || fail "no dialog after Yes"
  directory=$(control_text "$controls" 100)
  [ -n "$directory" ] && break
  sleep 1
done
expect_equal "DirectoryField" "$directory" 'C:\Asked'
drive press "E2E Test" 2
status=0; installer_status || status=$?
expect_equal "exit status" "$status" 0
