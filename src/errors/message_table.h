/* The messages of the module's string table (language 0x409), with their ids. This one
   list feeds both the STRINGTABLE of the Windows resource script and the compiled-in
   table of the native build, so it must stay plain preprocessor text. */
#ifndef KORVO_ERRORS_MESSAGE_TABLE_H
#define KORVO_ERRORS_MESSAGE_TABLE_H

#define KORVO_MSG_OUT_OF_MEMORY 104
#define KORVO_MSG_INVALID_POINTER 106
#define KORVO_MSG_KEY_EXISTS 109
#define KORVO_MSG_NO_SWITCH_BACK 110
#define KORVO_MSG_INVALID_ARGUMENT 111
#define KORVO_MSG_BAD_COMPARE_METHOD 112
#define KORVO_MSG_ARRAY_LOCKED 113
#define KORVO_MSG_BAD_VARIANT_TYPE 114
#define KORVO_MSG_UNKNOWN_ERROR 115
#define KORVO_MSG_SEVERAL_VALUES 116
/* The failures of a store kept on a server; "%1" stands for the detail the failure gives
   (ReportErrorDetail). */
#define KORVO_MSG_REMOTE_OBJECT_REFUSED 117
#define KORVO_MSG_REMOTE_VALUE_REFUSED 118
#define KORVO_MSG_REMOTE_MODE_MISMATCH 119
#define KORVO_MSG_REMOTE_REFUSED_CALL 120
#define KORVO_MSG_REMOTE_KEPT_CHANGING 121
#define KORVO_MSG_REMOTE_CONNECTION_FAILED 122

#define KORVO_MESSAGES(ROW)                                                                                            \
    ROW(KORVO_MSG_OUT_OF_MEMORY, "Memory could not be allocated.")                                                     \
    ROW(KORVO_MSG_INVALID_POINTER, "Invalid input pointer.")                                                           \
    ROW(KORVO_MSG_KEY_EXISTS, "This key is already in collection.")                                                    \
    ROW(KORVO_MSG_NO_SWITCH_BACK, "You can't switch back to unique keys.")                                             \
    ROW(KORVO_MSG_INVALID_ARGUMENT, "One of the arguments is invalid.")                                                \
    ROW(KORVO_MSG_BAD_COMPARE_METHOD, "Nonexist compare method.")                                                      \
    ROW(KORVO_MSG_ARRAY_LOCKED, "The variant contains an array that is locked.")                                       \
    ROW(KORVO_MSG_BAD_VARIANT_TYPE,                                                                                    \
        "The source and destination have an invalid variant type (usually uninitialized).")                            \
    ROW(KORVO_MSG_UNKNOWN_ERROR, "Unknown error.")                                                                     \
    ROW(KORVO_MSG_SEVERAL_VALUES, "There is more values to change")                                                    \
    ROW(KORVO_MSG_REMOTE_OBJECT_REFUSED, "An object, array or record cannot be kept in a remote store.")               \
    ROW(KORVO_MSG_REMOTE_VALUE_REFUSED, "This value cannot be kept in a remote store.")                                \
    ROW(KORVO_MSG_REMOTE_MODE_MISMATCH, "The remote store keeps its keys in the other compare mode.")                  \
    ROW(KORVO_MSG_REMOTE_REFUSED_CALL, "The store server refused the call: %1")                                        \
    ROW(KORVO_MSG_REMOTE_KEPT_CHANGING,                                                                                \
        "The remote store kept changing while RemoveAll read it; nothing was removed.")                                \
    ROW(KORVO_MSG_REMOTE_CONNECTION_FAILED, "%1")

/* The one text given to the error record directly, not through the string table. */
#define KORVO_TEXT_REGEXP_UNAVAILABLE "Cannot initialize VBScript RegExp object"

#endif
