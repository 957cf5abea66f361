#pragma once
// Marbeck's message table: every key it reads, with its English default.
#include "shared/failurereason.h"
#include "shared/outputmessages.h"
#include "shared/resstr.h"

// X(key, English default)
#define MARBECK_MESSAGES(X)                                                                        \
    X(MSG_APPLICATION_TITLE, "Ormolux")                                                            \
    X(MSG_ADD_ERROR1,                                                                              \
      "An error occurred while adding file:\r\n\r\nCan not get file \"%s\" complete name.")        \
    X(MSG_ADD_ERROR2,                                                                              \
      "An error occurred while adding file:\r\n\r\nCan not get file \"%s\" file size.")            \
    X(MSG_ALLFILES, "All Files")                                                                   \
    X(MSG_NOFILES, "There are no files to encode!")                                                \
    X(MSG_ID_STATUS, "Status=")                                                                    \
    X(MSG_ID_BATCH, "Batch=")                                                                      \
    X(MSG_HINT, "Hint")                                                                            \
    X(MSG_QUESTION, "Question")                                                                    \
    X(MSG_ANERROROCCURRED, "At least one error occurred. Do you want to view the log?")            \
    X(MSG_ABORTENCODING, "Do you want to stop encoding now or stop encoding when the currently "   \
                         "processed file is done?")                                                \
    X(MSG_BTN_NOW, "Stop now")                                                                     \
    X(MSG_BTN_DONE, "When done")                                                                   \
    X(MSG_YES, "Yes")                                                                              \
    X(MSG_NO, "No")                                                                                \
    X(MSG_OK, "OK")                                                                                \
    X(MSG_CANCEL, "Cancel")                                                                        \
    X(MSG_ERROR, "Error")                                                                          \
    X(MSG_EMPTY_DIR, "You must choose an output folder first!")                                    \
    X(MSG_CREATEDIR, "Output directory do not exist, do you want to force create it?")             \
    X(MSG_CREATEDIR_FAIL,                                                                          \
      "Fail to create directory! Please check if output folder have the right format!")            \
    X(MSG_ENC_IN_PROGRESS, "Encoding in progress")                                                 \
    X(MSG_STOP_ENC, "Stopping encoding when done with current file...")                            \
    X(MSG_OOPS, "Oops, something wasn't as expected!")                                             \
    X(MSG_ENCODING_FINISHED, "Encoding finished")                                                  \
    X(MSG_NO_DAT_FILE, "Cannot find \"%s\".\r\n\r\nPlease re-install this program and try again.") \
    X(MSG_STATUS_NOFILES, "No files")                                                              \
    X(MSG_STATUS_ONEFILE, "One file")                                                              \
    X(MSG_STATUS_FILES, "%d files")                                                                \
    X(MSG_SELECT_FOLDER, "Please select a folder!")                                                \
    X(MSG_INFORMATION, "Information")                                                              \
    X(MSG_NO_DAT_FILE_TITLE, "Can not find file")                                                  \
    X(MSG_APPLICATION_VERSION, "version:")                                                         \
    X(MSG_FILEINFO_CAPTION, "File Information")                                                    \
    X(MSG_SAVE_FILE_INFO, "Save File Info...")                                                     \
    X(MSG_TEXTFILE, "Text Files")                                                                  \
    X(MSG_FILE_INFO_FILE, "File Info")                                                             \
    X(MSG_ADD_FILES, "Add Files...")                                                               \
    X(MSG_DELETE, "Delete")                                                                        \
    X(MSG_CLEAR_LIST, "Clear List")                                                                \
    X(MSG_SELECT_ALL, "Select All")                                                                \
    X(MSG_PLAY_SOURCE, "Play Source")                                                              \
    X(MSG_OPEN_DESTINATION_FOLDER, "Open Destination Folder...")                                   \
    X(MSG_CONVERT, "Convert Now")                                                                  \
    X(MSG_CHOOSE_PROFILE, "Choose Profile...")                                                     \
    X(MSG_OUTPUT_BROWSE, "Browse...")                                                              \
    X(MSG_MORE_INFO, "More Information...")                                                        \
    X(MSG_PROFILE, "Profile:")                                                                     \
    X(MSG_OUTPUT_DIR, "Output Directory:")                                                         \
    X(MSG_LISTVIEW_FILE_NAME, "File Name")                                                         \
    X(MSG_LISTVIEW_FORMAT, "Format")                                                               \
    X(MSG_LISTVIEW_PLAYTIME, "Play Time")                                                          \
    X(MSG_LISTVIEW_FILESIZE, "File Size")                                                          \
    X(MSG_LISTVIEW_VIDEOCODEC, "Video Codec")                                                      \
    X(MSG_LISTVIEW_WIDTH, "Width")                                                                 \
    X(MSG_LISTVIEW_HEIGHT, "Height")                                                               \
    X(MSG_LISTVIEW_VIDEOBITRATE, "Video Bitrate")                                                  \
    X(MSG_LISTVIEW_ASPECTRATIO, "Aspect Ratio")                                                    \
    X(MSG_LISTVIEW_FRAMERATE, "Frame Rate")                                                        \
    X(MSG_LISTVIEW_AUDIOCODEC, "Audio Codec")                                                      \
    X(MSG_LISTVIEW_AUDIOBITRATE, "Audio Bitrate")                                                  \
    X(MSG_LISTVIEW_CHANNELS, "Channels")                                                           \
    X(MSG_LISTVIEW_SAMPLINGRATE, "Sampling Rate")                                                  \
    X(MSG_LISTVIEW_AUDIOCOUNT, "Audio Count")                                                      \
    X(MSG_LISTVIEW_VIDEOCOUNT, "Video Count")                                                      \
    X(MSG_LISTVIEW_COMPLETENAME, "Complete Name")                                                  \
    X(MSG_CONFIGURATION_MANAGER, "Configuration Manager")                                          \
    X(MSG_DISCRIPTION, "Discription:")                                                             \
    X(MSG_LANGUAGE, "Language:")                                                                   \
    X(MSG_DONOTDISPLAY, "Do not display this window at start")                                     \
    X(MSG_EXIT, "Exit")                                                                            \
    X(MSG_APPLY, "Apply")                                                                          \
    X(MSG_SURE_TO_EXIT, "Are you sure you want to quit this program?")                             \
    X(MSG_PROFILE_FOLDER_ERROR, "Profile folder do not exists!")                                   \
    X(MSG_CONVERTING_IN, "Conveting in progress...")                                               \
    X(MSG_REMAINING_TIME, "Remaining time:")                                                       \
    X(MSG_ELAPSED_TIME, "Elapsed time:")                                                           \
    X(MSG_ESTIMATED_TIME, "Estimated time:")                                                       \
    X(MSG_STOP_WHEN_DONE, "Stopping encoding when done with current file...")                      \
    X(MSG_DEL_AFTER, "Delete source file after encoding")                                          \
    X(MSG_SHUTDOWN_AFTER, "Shutdown Windows when done")                                            \
    X(MSG_SETTINGS_TITLE, "Settings")                                                              \
    X(MSG_GENERAL_PAGE, "General")                                                                 \
    X(MSG_THREADPRIORITY, "Thread Priority")                                                       \
    X(MSG_IDLE, "Idle")                                                                            \
    X(MSG_NORMAL, "Normal")                                                                        \
    X(MSG_HIGH, "High")                                                                            \
    X(MSG_REALTIME, "Realtime")                                                                    \
    X(MSG_SHUTDOWN_REAL_DOES, "\"Shutdown Windows\" really does:")                                 \
    X(MSG_CLOSE_APP, "Close %s")                                                                   \
    X(MSG_SHUTDOWN, "Shutdown")                                                                    \
    X(MSG_LOGOFF, "Log off")                                                                       \
    X(MSG_RESTART, "Restart")                                                                      \
    X(MSG_HIBERNATE, "Hibernate")                                                                  \
    X(MSG_SUSPEMD, "Suspend")                                                                      \
    X(MSG_DIRECTSHOW, "DirectShow")                                                                \
    X(MSG_USE_DIRECTSHOW, "Use DirectShow")                                                        \
    X(MSG_SHUTDOWN_TITLE, "Shutdown")                                                              \
    X(MSG_WARNING, "Warning!")                                                                     \
    X(MSG_WARNING_DETAIL, "If you don't press cancel now, %s will shutdown Windows.")              \
    X(MSG_LABEL_TIMEOUT, "Time left: %d")                                                          \
    X(MSG_NEEDRESTART, "You may need to restart this program to activate the new language, do "    \
                       "you want to close it now?")                                                \
    X(MSG_NEEDS_AVISYNTH, "(needs AviSynth)")                                                      \
    X(MSG_AVISYNTH_HINT, "Sources are read through an AviSynth script; this needs AviSynth, "      \
                         "which this system may not have.")                                        \
    X(MSG_SHOW_ERRORS_AT_ONCE, "Show each error at once")                                          \
    X(MSG_BATCH_GROUP, "While converting")                                                         \
    X(MSG_WARN_TRASH, "Sources will be moved to the trash after conversion")                       \
    X(MSG_WARN_AFTER_BATCH, "After the batch: %s")                                                 \
    X(MSG_WARNING_ACTION, "In a moment: %s. Press Cancel to prevent it.")                          \
    X(MSG_FILE_OF, "%d of %d")                                                                     \
    X(MSG_LANGUAGES, "Languages")                                                                  \
    X(MSG_MINIMISE_HINT, "Minimise")                                                               \
    X(MSG_CLOSE_HINT, "Close")                                                                     \
    X(MSG_NOTICE_FINISHED, "Batch finished")                                                       \
    X(MSG_NOTICE_STOPPED, "Batch stopped")                                                         \
    X(MSG_NOTICE_COUNTS, "%d converted, %d failed")                                                \
    X(MSG_PROFILE_NO_PRESETS, "%s has no preset with commands; choose another profile.")           \
    X(MSG_TYPE_FILE_UNUSABLE, "%s lists no accepted file types, so no file can be added.")         \
    X(MSG_LANGUAGE_FILE_UNUSABLE, "%s holds none of the program's texts; English is used.")        \
    X(MSG_LANGUAGE_SETTING_UNUSABLE,                                                               \
      "LanguageFile in %s names \"%s\", which cannot be read; English is used.")                   \
    X(MSG_PROFILE_SETTING_UNUSABLE, "ProfilePath in %s names \"%s\", which is missing or is not "  \
                                    "a file; please choose a profile.")                            \
    X(MSG_OUTPUT_DIR_READONLY,                                                                     \
      "The output folder \"%s\" cannot be written to. Please choose another output folder.")       \
    X(MSG_ADD_FOLDER, "Add Folder...")                                                             \
    X(MSG_ADD_FOLDER_TITLE, "Choose a folder to add with its subfolders")                          \
    X(MSG_STOP_ADDING, "Stop Adding")                                                              \
    X(MSG_STATUS_ADDING, "Adding %d of %d… (Esc stops)")                                           \
    X(MSG_SIMULTANEOUS, "Simultaneous conversions:")                                               \
    X(MSG_AUTOMATIC_JOBS, "Automatic (%d)")                                                        \
    X(MSG_SHELL_OPEN_FAILED, "Cannot open \"%s\": the desktop has no program for it.")             \
    X(MSG_FAILURE_LOG_TITLE, "Failures of the last batch")                                         \
    X(MSG_OPEN_IN_EDITOR, "Open in editor")                                                        \
    X(MSG_KEEP_LIST, "Keep the list between runs")                                                 \
    X(MSG_LIST_IN_USE, "No files: another Ormolux (process %d) has the saved list")                \
    X(MSG_LIST_DAMAGED, "The saved list could not be read; it was set aside as \"%s\" and the "    \
                        "list starts empty.")                                                      \
    X(MSG_LISTVIEW_ESTIMATEDSIZE, "Estimated Size")                                                \
    X(MSG_EDIT_PRESETS, "Edit Presets...")                                                         \
    X(MSG_PE_CAPTION, "Preset editor")                                                             \
    X(MSG_PE_PROFILE, "Profile:")                                                                  \
    X(MSG_PE_DESCRIPTION, "Description:")                                                          \
    X(MSG_PE_PRESETS, "Presets:")                                                                  \
    X(MSG_PE_TITLE, "Title:")                                                                      \
    X(MSG_PE_EXTENSION, "Extension:")                                                              \
    X(MSG_PE_COMMANDS, "Command lines, one per line:")                                             \
    X(MSG_PE_PLACEHOLDER, "Insert Placeholder")                                                    \
    X(MSG_PE_DUPLICATE_PRESET, "Duplicate Preset")                                                 \
    X(MSG_PE_DUPLICATE_PROFILE, "Duplicate Profile")                                               \
    X(MSG_PE_RENAME, "Rename")                                                                     \
    X(MSG_PE_DELETE, "Delete")                                                                     \
    X(MSG_PE_SAVE, "Save")                                                                         \
    X(MSG_PE_CLOSE, "Close")                                                                       \
    X(MSG_PE_TRY, "Try")                                                                           \
    X(MSG_PE_STOP, "Stop")                                                                         \
    X(MSG_PE_PLAY, "Play")                                                                         \
    X(MSG_PE_SHIPPED, "This profile comes with the program and is not changed: duplicate it to "   \
                      "make one of your own.")                                                     \
    X(MSG_PE_COPY_SUFFIX, "(copy)")                                                                \
    X(MSG_PE_DELETE_QUESTION,                                                                      \
      "Delete the preset \"%s\"? A profile left without presets is deleted with it.")              \
    X(MSG_PE_SAVE_QUESTION, "Save the changes to \"%s\"?")                                         \
    X(MSG_PE_SAVE_FAILED, "The profile could not be saved: %s")                                    \
    X(MSG_PE_NO_SOURCE,                                                                            \
      "Select a file in the list: Try converts its first %d seconds with this preset.")            \
    X(MSG_PE_TRYING, "Converting the first %d seconds of \"%s\"…")                                 \
    X(MSG_PE_CONVERTED, "Converted: \"%s\", %s, %s s, %s kbit/s")                                  \
    X(MSG_PE_NOT_CONVERTED, "Not converted:")                                                      \
    X(MSG_PE_LIMITS, "The limits of the %s:")                                                      \
    X(MSG_PE_NO_DEVICE, "This preset names no device: there are no limits to hold it to.")         \
    X(MSG_PE_WITHIN, "within")                                                                     \
    X(MSG_PE_OUTSIDE, "OUTSIDE")                                                                   \
    X(MSG_PE_DEVICE_TAKES, "device: %s")                                                           \
    X(MSG_TRY_CUT_FAILED, "The first seconds of \"%s\" could not be read: %s")                     \
    X(MSG_TRY_STOPPED, "The try was stopped.")                                                     \
    X(MSG_LIMIT_VIDEO_CODEC, "Video codec")                                                        \
    X(MSG_LIMIT_PROFILE, "Profile")                                                                \
    X(MSG_LIMIT_LEVEL, "Level")                                                                    \
    X(MSG_LIMIT_REF_FRAMES, "Reference frames")                                                    \
    X(MSG_LIMIT_SIZE, "Picture size")                                                              \
    X(MSG_LIMIT_FRAME_RATE, "Frame rate")                                                          \
    X(MSG_LIMIT_VIDEO_RATE, "Video rate")                                                          \
    X(MSG_LIMIT_AUDIO_CODEC, "Sound codec")                                                        \
    X(MSG_LIMIT_SAMPLE_RATE, "Sample rate")                                                        \
    X(MSG_LIMIT_CHANNELS, "Channels")                                                              \
    ORM_OUTPUT_MESSAGES(X)                                                                         \
    ORM_FAILURE_CAUSE_MESSAGES(X)

namespace marbeck {

enum class Msg : int {
#define ORM_MESSAGE_ENUM(key, text) key,
    MARBECK_MESSAGES(ORM_MESSAGE_ENUM)
#undef ORM_MESSAGE_ENUM
};

// The process-wide table, holding the English texts until a language is loaded.
orm::MessageTable &messages();
QString msg(Msg key);
// A text of the output check from this table.
QString outputText(orm::OutputMessage key);
// The diagnosis of a failure's common cause.
QString causeText(orm::FailureCause cause);

} // namespace marbeck
