// Resource identifiers of the setup library.
#define IDD_LANGUAGE 101
#define IDI_PACKAGE 102
#define IDC_LANGUAGE_LIST 1000
#define IDC_LANGUAGE_PROMPT 1001
