/* Ids of the server's string table (strings.rc). Shared by C++ code and the resource compiler,
   so only plain #defines here. */
#ifndef MRV_STRING_IDS_H
#define MRV_STRING_IDS_H

#define IDS_MODULE_NAME                 101
#define IDS_HELP_FILE_NAME              102
#define IDS_INTERFACE_NAME              103
#define IDS_PROGID                      104
#define IDS_BAD_ARRAY_SIZE              114
#define IDS_BAD_WRITE_COUNT             115
#define IDS_ALREADY_OPEN                119
#define IDS_COMPANY_NAME                122
#define IDS_BAD_INIT_ARGUMENT           123
#define IDS_INIT_PARAMETER_FAILED       124
#define IDS_BAD_WRITE_CHAR_AT           125
#define IDS_BAD_WRITE_CHAR              126
#define IDS_BAD_ARRAY_ARGUMENT          2003
#define IDS_OUT_OF_MEMORY               2004
#define IDS_BAD_POINTER                 2005
#define IDS_NO_OPEN_SESSION             2006
#define IDS_UNRECOGNIZED_VISA_ERROR     2007
#define IDS_INTERNAL_ERROR              2009
#define IDS_OPEN_FAILED                 2010
#define IDS_SESSION_CLOSED              2011
#define IDS_HANDLER_ALREADY_INSTALLED   2012
#define IDS_NO_SUCH_HANDLER             2013
#define IDS_WAIT_TIMED_OUT              2014
#define IDS_VISA_LIBRARY_NOT_FOUND      2025
#define IDS_PLAYBACK_TAG                2026
#define IDS_BAD_EVENT_HANDLER           2027

/* VISA statuses look up ids status + 1200 (which hold no text) before falling back to
   IDS_UNRECOGNIZED_VISA_ERROR. */
#define IDS_VISA_STATUS_BASE            1200

#endif
