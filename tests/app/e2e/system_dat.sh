# Sourced by the end-to-end tests.
# write_system_dat FILE COPY_MODE START_AT_LAUNCH BACKUP_AT_CLOSE SOURCE DESTINATION
# system.dat: 47 records of 160 bytes, each a value in code page 932 padded
# with spaces; set 1 backs SOURCE up to DESTINATION.
write_system_dat() {
    record() { { printf '%s' "$1" | iconv -f UTF-8 -t CP932; printf '%160s' ''; } | head -c 160; }
    records() { for _ in $(seq 1 "$1"); do record "$2"; done; }
    {
        record "$2"; record "$3"; record "$4"; record 0; record 0; record 1  # options 1-6
        records 3 False; records 6 ""                      # shut-down flags, start times
        record "$5"; records 7 ""; record "$6"; records 7 ""  # sources, destinations
        records 8 1; records 8 0                            # sub-folders, skip
    } > "$1"
    [ "$(stat -c %s "$1")" -eq 7520 ]
}
