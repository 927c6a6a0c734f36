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
    ROW(KORVO_MSG_SEVERAL_VALUES, "There is more values to change")

/* The one text given to the error record directly, not through the string table. */
#define KORVO_TEXT_REGEXP_UNAVAILABLE "Cannot initialize VBScript RegExp object"

#endif
