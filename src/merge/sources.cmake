list(APPEND CORE_SOURCES IndexFile.cpp MergeJob.cpp)
list(APPEND UI_SOURCES MainFormMerge.cpp MainFormOdcinki.cpp)
