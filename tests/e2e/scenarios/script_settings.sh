# A "$" setup script replaces the dialog's title and proposes its own directory when the settings give none.
printf '$WindowTitle=Scripted Title\r\nnot a key line\r\n$InstallDir=C:\\From Script\r\n' > "$E2E_TMP/setup.scr"
make_readme_installer scripted --title "E2E Test" --script "$E2E_TMP/setup.scr"
start_installer "$E2E_TMP/scripted.exe"
controls=$(drive wait "Scripted Title" "$E2E_WINDOW_MS") || fail "no dialog captioned by the script"
expect_equal "DirectoryField" "$(control_text "$controls" 100)" 'C:\From Script'
screenshot script_settings
drive press "Scripted Title" 2
status=0; installer_status || status=$?
expect_equal "exit status" "$status" 0
