# With an empty title the dialog's caption is the stub's own name; closing the window ends it with 0.
make_readme_installer untitled --title "" --dir 'C:\E2E Target'
start_installer "$E2E_TMP/untitled.exe"
controls=$(drive wait "Tarnwick V2.14.w32.0005" "$E2E_WINDOW_MS") || fail "no dialog with the default caption"
expect_equal "DirectoryField" "$(control_text "$controls" 100)" 'C:\E2E Target'
drive close "Tarnwick V2.14.w32.0005"
status=0; installer_status || status=$?
expect_equal "exit status" "$status" 0
