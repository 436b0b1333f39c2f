# The folders of src/ from the bottom layer up, each with its rank. A file
# may include the files of its own folder and of folders of a lower rank,
# never those of a higher rank or of another folder of the same rank. The
# test "warstwy" (tests/sprawdz_warstwy.cmake) checks every #include of
# src/ against this list, and that the core includes and links no widgets.
#   0  base         what every folder uses: errors, text, paths, file writing
#   1  project, audio, card, settings: subsystem cores that need only base
#   2  merge        the merge core, which reads projects and measures audio
#      odcinki      the episode announcements put in front of the entries' files
#   3  eksport      the export into a DAISY book and a chaptered MP3 (TagLib)
#      import       the import of DAISY books, cue sheets and audio files (FFmpeg, LAME, libcue)
#   4  cofanie      the project's undo history (QUndoStack is in Qt GUI)
#   5  sesja        the program's decisions beneath every window: it asks the
#                   user through an interface of its own, never a widget
#   6  widgets      the seams, messages and small windows every window shares
#   7  */ui         the subsystem windows
#   8  app          start-up, the main window and its commands
# The folders up to SONVEK_RANGA_RDZENIA make the core library.
set(SONVEK_WARSTWY
  base=0
  project=1 audio=1 card=1 settings=1
  merge=2 odcinki=2
  eksport=3 import=3
  cofanie=4
  sesja=5
  widgets=6
  audio/ui=7 card/ui=7 merge/ui=7 settings/ui=7 eksport/ui=7 import/ui=7
  app=8)
set(SONVEK_RANGA_RDZENIA 3)
