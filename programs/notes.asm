; notes.asm - keeps a note on a data disk. It looks for a writable disk that holds no boot
; image, shows the note stored there, and saves a new one when Enter is pressed. After a
; Reset the note is read back from the disk.
;
; The note record lies behind the disk's first four bytes (the boot length, which stays
; 0): the text "NOTE", the length of the text as a dword, then the text.

        .include "tarquil.inc"

MAX_TEXT    = 60
RECORD_AT   = 4
RECORD_SIZE = 8 + MAX_TEXT
STATUS_ROW  = 4
NOTE_ROW    = 7
PROMPT_ROW  = 11
INPUT_ROW   = 13
RESULT_ROW  = 16

start:  MOV.32  #stack, sp
        MOV.32  #title, [page_title]
        MOV.32  #heading, [page_heading]
        CALL    text_page
        MOV.32  #PROMPT_ROW, r28
        MOV.32  #prompt_text, [text_ptr]
        CALL    print_at
        CALL    show_disk
        CALL    draw_input
        CALL    refresh

main:   GETEVENT
        JNZ.8   .event, r0
        WAIT
        JMP     main
.event: EQ.8    r0, #EVENT_DISK, r24
        JNZ.8   .disk, r24
        EQ.8    r0, #EVENT_KEYBOARD, r24
        JZ.8    main, r24
        EQ.8    r1, #KIND_CHAR, r24
        JZ.8    main, r24
        CALL    typed
        CALL    refresh
        JMP     main
.disk:  CALL    show_disk               ; a disk came or went: look again
        CALL    refresh
        JMP     main

; A typed character (code in r4): Enter saves, Backspace deletes, others are added.
typed:  EQ.32   r4, #13, r24
        JNZ.8   save, r24
        EQ.32   r4, #8, r24
        JNZ.8   .back, r24
        LT.U32  r4, #32, r24
        JNZ.8   .done, r24
        LT.U32  r4, #256, r24
        JZ.8    .done, r24
        LT.U32  [input_length], #MAX_TEXT, r24
        JZ.8    .done, r24
        ADD.U32 [input_length], #input, r24
        MOV.8   r4, [[r24]]
        INC.U32 [input_length]
        JMP     draw_input
.back:  JZ.32   .done, [input_length]
        DEC.U32 [input_length]
        JMP     draw_input
.done:  RET

; The input line: "> ", the text, a cursor, blanks to the end of the row.
draw_input:
        ADD.U32 [input_length], #input, r24
        CLR.8   [[r24]]
        MOV.32  #COLOR_WHITE, [text_fg]
        MOV.32  #2, r24
        MOV.32  #INPUT_ROW, r28
        MOV.32  #input_mark, [text_ptr]
        CALL    print_at
        MOV.32  #input, [text_ptr]
        CALL    print
        MOV.8   #'_', [char_arg]
        CALL    put_char
        CALL    fill_row
        MOV.32  #COLOR_LIGHT_GRAY, [text_fg]
        RET

; Enter: the typed text becomes the disk's note.
save:   CALL    find_disk
        JZ.8    .none, [found]
        MOV.32  [magic], [record]       ; reading a blank disk cleared it
        MOV.32  [input_length], [record_length]
        MOVB    #MAX_TEXT, [input], [record_text]
        MOV.16  #GROUP_DISK | DISK_SEEK << 8, r0
        MOV.32  [slot], r4
        MOV.32  #RECORD_AT, r8
        SYS
        JZ.8    .failed, r2
        MOV.16  #GROUP_DISK | DISK_WRITE << 8, r0
        MOV.32  [slot], r4
        MOV.32  #RECORD_SIZE, r8
        MOV.32  #record, r12
        SYS
        JZ.8    .failed, r2
        MOV.32  #saved_text, [text_ptr]
        CALL    show_result
        CLR.32  [input_length]
        CALL    draw_input
        JMP     show_disk
.failed:
        MOV.32  #failed_text, [text_ptr]
        JMP     show_result
.none:  MOV.32  #no_disk_text, [text_ptr]
        JMP     show_result

show_result:
        MOV.32  #2, [text_x]
        MOV.32  #RESULT_ROW, [text_y]
        CALL    print
        JMP     fill_row

; Finds the data disk and shows its slot and its note.
show_disk:
        MOV.32  #2, [text_x]
        MOV.32  #STATUS_ROW, [text_y]
        CALL    find_disk
        JNZ.8   .found, [found]
        MOV.32  #no_disk_text, [text_ptr]
        CALL    print
        CALL    fill_row
        MOV.32  #2, [text_x]
        MOV.32  #NOTE_ROW, [text_y]
        JMP     fill_row
.found: MOV.32  #slot_text, [text_ptr]
        CALL    print
        MOV.32  [slot], [number_arg]
        CALL    print_number
        CALL    fill_row
        MOV.32  #2, [text_x]
        MOV.32  #NOTE_ROW, [text_y]
        CALL    read_note
        JZ.8    .empty, [has_note]
        MOV.32  #holds_text, [text_ptr]
        CALL    print
        MOV.32  #COLOR_WHITE, [text_fg]
        MOV.32  #shown, [text_ptr]
        CALL    print
        MOV.32  #COLOR_LIGHT_GRAY, [text_fg]
        JMP     fill_row
.empty: MOV.32  #empty_text, [text_ptr]
        CALL    print
        JMP     fill_row

; Reads the record into `record`; has_note = 1 and `shown` holds the text when it is one.
read_note:
        CLR.8   [has_note]
        MOV.16  #GROUP_DISK | DISK_SEEK << 8, r0
        MOV.32  [slot], r4
        MOV.32  #RECORD_AT, r8
        SYS
        JZ.8    .done, r2
        MOV.16  #GROUP_DISK | DISK_READ << 8, r0
        MOV.32  [slot], r4
        MOV.32  #RECORD_SIZE, r8
        MOV.32  #record, r12
        SYS
        JZ.8    .done, r2
        NE.32   [record], [magic], r24
        JNZ.8   .done, r24
        GT.U32  [record_length], #MAX_TEXT, r24
        JNZ.8   .done, r24
        MOVB    #MAX_TEXT, [record_text], [shown]
        ADD.U32 [record_length], #shown, r24
        CLR.8   [[r24]]
        MOV.8   #1, [has_note]
.done:  RET

; The first slot that holds a writable disk without a boot image and with room for the
; record: found = 1 and its number in `slot`; found = 0 when there is none.
find_disk:
        CLR.8   [found]
        MOV.16  #GROUP_DISK | DISK_COUNT << 8, r0
        SYS
        MOV.32  r4, [slot_count]
        CLR.32  [slot]
.loop:  LT.U32  [slot], [slot_count], r24
        JZ.8    .done, r24
        MOV.16  #GROUP_DISK | DISK_STATE << 8, r0
        MOV.32  [slot], r4
        SYS
        JNZ.8   .next, r8               ; read-only
        JZ.8    .next, r9               ; empty
        MOV.16  #GROUP_DISK | DISK_SIZE << 8, r0
        MOV.32  [slot], r4
        SYS
        JZ.8    .next, r2
        LT.U32  r8, #RECORD_AT + RECORD_SIZE, r24
        JNZ.8   .next, r24
        MOV.16  #GROUP_DISK | DISK_SEEK << 8, r0
        MOV.32  [slot], r4
        CLR.32  r8
        SYS
        JZ.8    .next, r2
        MOV.16  #GROUP_DISK | DISK_READ << 8, r0
        MOV.32  [slot], r4
        MOV.32  #4, r8
        MOV.32  #boot_length, r12
        SYS
        JZ.8    .next, r2
        JNZ.32  .next, [boot_length]    ; a program disk, not a data disk
        MOV.8   #1, [found]
        RET
.next:  INC.U32 [slot]
        JMP     .loop
.done:  RET

; --- Data ---------------------------------------------------------------------------------
title:        .asciz "Notes"
heading:      .asciz "Notes on a data disk"
prompt_text:  .asciz "Type a new note and press Enter (Backspace corrects):"
input_mark:   .asciz "> "
slot_text:    .asciz "Data disk: slot "
holds_text:   .asciz "The disk holds this note: "
empty_text:   .asciz "The disk holds no note yet."
no_disk_text: .asciz "No writable data disk without a boot image: insert one in a free slot."
saved_text:   .asciz "Saved. Reset the machine and open Notes again to read it back."
failed_text:  .asciz "The disk refused the note."
magic:        .ascii "NOTE"

found:        .byte 0
has_note:     .byte 0
slot:         .dword 0
slot_count:   .dword 0
boot_length:  .dword 0
input_length: .dword 0
input:        .fill MAX_TEXT + 1
shown:        .fill MAX_TEXT + 1
record:       .ascii "NOTE"
record_length: .dword 0
record_text:  .fill MAX_TEXT

        .include "common.inc"

        .align 4
stack:
