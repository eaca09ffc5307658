# The recorder window's controls (sourced): x y width height in dialog units, as laid out.
COMPRESSION_CHECK="9 56 8 8"
DC_FILTER_CHECK="62 56 8 8"
PAUSE_BUTTON="14 7 16 13"
RECORD_BUTTON="42 7 16 13"
RECORDED_FIELD="75 8 36 12"
REMAINING_FIELD="127 8 36 12"
LEFT_METER="21 34 125 6"
RIGHT_METER="21 42 125 6"
LEFT_PEAK_FIELD="148 33 26 8"
RIGHT_PEAK_FIELD="148 40 26 8"
WINDOW_SIZE="178 69"

# Window titles as regular expressions for xdotool.
RECORDER_TITLE='^ Sonocap 2\.1$'
ABOUT_TITLE='^Sonocap 2\.1$'
PARAMETER_MESSAGE_TITLE='^ Parameter file error:$'
OVERWRITE_TITLE='^ Sonocap: File exist$'
COMPAXA_SAVE_TITLE='^Select recording Compaxa file$'
WAVE_SAVE_TITLE='^Select recording wave file$'
