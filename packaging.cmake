# cpack -G DEB builds a Debian package of what cmake --install puts under /usr. Its dependencies
# are those dpkg-shlibdeps finds for the programs, plus the General MIDI SoundFont the built-in
# synthesizer plays (a data file no binary links to).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fretwright)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Fretwright developers <fretwright@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fluid-soundfont-gm)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "guitar played through MIDI from a game controller or the keyboard
Fretwright turns a game controller, or the computer keyboard, into a playable
guitar: hold a fret, choose a stored chord and press a pick, and a sequencer
clocked by the beat plucks the strings in a stored picking pattern.
.
It comes with a chord builder, a picking pattern editor, play logs with
replay and export as MIDI or WAV files, an accompaniment beat, and mapping and
calibration of controllers. It sounds through its built-in General MIDI
synthesizer or any ALSA or JACK MIDI port.")
include(CPack)
