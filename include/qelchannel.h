/*
 * qelchannel: the game's side of the message channel to the launcher
 * plug-in that hosts it in a web page.
 *
 * A running game asks the page for things (call a script function, evaluate
 * a script text, in the page's window, its parent page's window or a frame
 * of the parent page) by sending requests to the plug-in's window; the
 * plug-in answers each with a reply addressed to the game's window. The
 * plug-in's window is the one the game's main window was embedded into (its
 * parent after embedding), or the parent window handed to InitGame.
 *
 * Window ids are the native ids (X11 window ids on Linux, HWND values on
 * Windows). On Windows the game window must be a window of the thread that
 * opens the channel and uses it; replies come to it as WM_COPYDATA messages,
 * which that thread takes while qelchannel_receive waits (and while it
 * dispatches its messages).
 *
 * A channel is used from one thread at a time. No function of the library
 * prints, exits or keeps global state; every failure is a status below.
 * The wire format is described in docs/game-channel.md.
 */
#ifndef QELCHANNEL_H
#define QELCHANNEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results of the functions that return a status. */
enum {
  QELCHANNEL_OK = 0,
  QELCHANNEL_TIMEOUT = 1,            /* no reply within the time given */
  QELCHANNEL_ERR_ARGUMENT = -1,      /* null pointer, window 0, kind outside 1..6,
                                        values on an evaluation, index out of range */
  QELCHANNEL_ERR_TOO_LARGE = -2,     /* over 255 values, a name over 255 bytes, a string
                                        over 65535 bytes or code units, a request over 64 MiB */
  QELCHANNEL_ERR_IN_USE = -3,        /* another channel already listens on the game window */
  QELCHANNEL_ERR_NO_PLUGIN = -4,     /* nobody listens on the plug-in window */
  QELCHANNEL_ERR_PLUGIN_BUSY = -5,   /* the plug-in window's queue stayed full */
  QELCHANNEL_ERR_WRONG_TYPE = -6,    /* a reply value read as a type it does not have */
  QELCHANNEL_ERR_NO_MEMORY = -7,
  QELCHANNEL_ERR_SYSTEM = -8         /* the operating system refused (sockets, files) */
};

/* Request kinds: what the page is asked to do, and where. */
enum {
  QELCHANNEL_CALL_WINDOW = 1, /* call function `text` of the page's window */
  QELCHANNEL_EVAL_WINDOW = 2, /* evaluate script `text` in the page's window */
  QELCHANNEL_CALL_PARENT = 3, /* as 1, in the parent page's window */
  QELCHANNEL_EVAL_PARENT = 4, /* as 2, in the parent page's window */
  QELCHANNEL_CALL_FRAME = 5,  /* as 1, in the window of frame element `frame_id` of the parent page */
  QELCHANNEL_EVAL_FRAME = 6   /* as 2, in that frame's window */
};

/* Value types; the numbers are the value tags on the wire. */
enum {
  QELCHANNEL_VALUE_EMPTY = 0,
  QELCHANNEL_VALUE_INT = 1,     /* signed 32-bit */
  QELCHANNEL_VALUE_DOUBLE = 2,
  QELCHANNEL_VALUE_STRING = 3,  /* 8-bit text in the page's code page, up to 65535 bytes */
  QELCHANNEL_VALUE_BOOL = 4,
  QELCHANNEL_VALUE_WSTRING = 5, /* UTF-16, up to 65535 code units */
  QELCHANNEL_VALUE_BYTES = 11   /* byte array; the page receives it as an empty value */
};

typedef struct qelchannel qelchannel;
typedef struct qelchannel_request qelchannel_request;
typedef struct qelchannel_reply qelchannel_reply;

/* A short English text for a status; never null. */
const char* qelchannel_status_text(int status);

/* Opens the channel: listens for replies on `game_window` (the game's main
 * window) and takes them from `plugin_window` only. *channel is set on
 * QELCHANNEL_OK and null otherwise. */
int qelchannel_open(uint64_t game_window, uint64_t plugin_window, qelchannel** channel);
/* Closes the channel and releases it; null is allowed. */
void qelchannel_close(qelchannel* channel);
/* A file descriptor that becomes readable when something arrived for the
 * game window, for the game's own poll/select loop; -1 for null. Read it
 * with qelchannel_receive only.
 * On Windows it is the value of an event handle, set while anything that
 * arrived for the game window waits to be taken, for a wait such as
 * MsgWaitForMultipleObjects: (HANDLE)(intptr_t)qelchannel_fd(channel). The
 * handle stays the channel's: do not close it. */
int qelchannel_fd(const qelchannel* channel);

/* A request: `text` is the function name (call kinds) or the script text
 * (evaluation kinds); `frame_id` is the frame element's id for kinds 5 and 6
 * and ignored (may be null) for the others. *request is set on QELCHANNEL_OK
 * and null otherwise. */
int qelchannel_request_new(int32_t id, int kind, const char* text, const char* frame_id,
                           qelchannel_request** request);
void qelchannel_request_free(qelchannel_request* request);
/* Arguments of a call, in order (the evaluation kinds take none). */
int qelchannel_request_add_empty(qelchannel_request* request);
int qelchannel_request_add_int(qelchannel_request* request, int32_t value);
int qelchannel_request_add_double(qelchannel_request* request, double value);
int qelchannel_request_add_string(qelchannel_request* request, const char* bytes, size_t length);
int qelchannel_request_add_bool(qelchannel_request* request, int value);
int qelchannel_request_add_wstring(qelchannel_request* request, const uint16_t* units,
                                   size_t count);
int qelchannel_request_add_bytes(qelchannel_request* request, const uint8_t* bytes,
                                 size_t length);

/* Sends the request to the plug-in window, waiting at most `timeout_ms`
 * while its queue is full. The plug-in answers on its next timer tick (about
 * every 50 ms), requests in the order they arrived. The request stays the
 * caller's and may be sent again. */
int qelchannel_send(qelchannel* channel, const qelchannel_request* request, int timeout_ms);

/* Takes the next reply of the plug-in window, waiting up to `timeout_ms`
 * (0: do not wait; negative: no limit). Anything else that arrived for the
 * game window is dropped on the way. QELCHANNEL_OK sets *reply, which the
 * caller frees; QELCHANNEL_TIMEOUT (nothing yet) and errors set it to null. */
int qelchannel_receive(qelchannel* channel, int timeout_ms, qelchannel_reply** reply);
void qelchannel_reply_free(qelchannel_reply* reply);

/* The reply's request id (0 for null), kind and code (-1 for null): code 1
 * is success, 0 means the page call failed or gave nothing. */
int32_t qelchannel_reply_id(const qelchannel_reply* reply);
int qelchannel_reply_kind(const qelchannel_reply* reply);
int qelchannel_reply_code(const qelchannel_reply* reply);
/* The number of values (only successful call replies have any); -1 for null. */
int qelchannel_reply_count(const qelchannel_reply* reply);
/* A QELCHANNEL_VALUE_ type, or QELCHANNEL_ERR_ARGUMENT for a bad index. */
int qelchannel_reply_type(const qelchannel_reply* reply, int index);
/* The value at `index` when it has the type read; QELCHANNEL_ERR_WRONG_TYPE
 * otherwise. Strings and bytes point into the reply and live as long as it;
 * 8-bit strings are also NUL-terminated. */
int qelchannel_reply_int(const qelchannel_reply* reply, int index, int32_t* value);
int qelchannel_reply_double(const qelchannel_reply* reply, int index, double* value);
int qelchannel_reply_bool(const qelchannel_reply* reply, int index, int* value);
int qelchannel_reply_string(const qelchannel_reply* reply, int index, const char** bytes,
                            size_t* length);
int qelchannel_reply_wstring(const qelchannel_reply* reply, int index, const uint16_t** units,
                             size_t* count);
int qelchannel_reply_bytes(const qelchannel_reply* reply, int index, const uint8_t** bytes,
                           size_t* length);

#ifdef __cplusplus
}
#endif

#endif /* QELCHANNEL_H */
