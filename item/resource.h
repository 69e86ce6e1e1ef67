// Resource identifiers of the item library.
#define IDI_APPLICATION_LOGO 101
#define IDI_PREVIOUS 103
#define IDI_PREVIOUS_PRESSED 104
#define IDI_NEXT 106
#define IDI_NEXT_PRESSED 107
#define IDI_PAUSE 108
#define IDI_PAUSE_PRESSED 109
#define IDI_PLAY 111
#define IDI_PLAY_PRESSED 112
#define IDI_STOP 114
#define IDI_STOP_PRESSED 115
#define IDD_OPTIONS 500
