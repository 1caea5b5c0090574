# A sound installer opens its dialog with the built-in title, label text and directory; Cancel ends it with 0.
make_readme_installer sound --title "E2E Test" --install-title "Install the E2E files to:" --dir 'C:\E2E Target'
start_installer "$E2E_TMP/sound.exe"
controls=$(drive wait "E2E Test" "$E2E_WINDOW_MS") || fail "no dialog"
expect_equal "TitleLabel" "$(control_text "$controls" 103)" "Install the E2E files to:"
expect_equal "DirectoryField" "$(control_text "$controls" 100)" 'C:\E2E Target'
screenshot dialog_settings
drive press "E2E Test" 2
status=0; installer_status || status=$?
expect_equal "exit status" "$status" 0
[ ! -e "$WINEPREFIX/drive_c/E2E Target" ] || fail "Cancel still created the target folder"
