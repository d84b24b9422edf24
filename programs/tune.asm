; tune.asm - plays a melody through MIDI, one step per tick of a host timer, and shows it
; as a little piano roll. Without a sound device (MIDI disabled in the configuration) the
; group-4 calls are not answered, so the program plays the same roll in silence.

        .include "tarquil.inc"

TIMER_ID    = 1
TICK        = 100                       ; milliseconds; a quarter note is two ticks
PROGRAM     = 0                         ; General MIDI acoustic grand piano
VELOCITY    = 100
LOWEST      = 60                        ; C4, drawn on the bottom row of the roll
ROLL_BOTTOM = 16
FIRST_COLUMN = 6

start:  MOV.32  #stack, sp
        MOV.32  #title, [page_title]
        MOV.32  #heading, [page_heading]
        CALL    text_page

        ; Is there a sound device? A missing one answers with group 0.
        MOV.16  #GROUP_SOUND | SOUND_VERSION << 8, r0
        SYS
        MOV.8   r0, [midi]
        MOV.32  #midi_on_text, [text_ptr]
        JNZ.8   .show, [midi]
        MOV.32  #midi_off_text, [text_ptr]
.show:  MOV.32  #3, r28
        CALL    print_at
        MOV.8   #MIDI_PROGRAM, [message]
        MOV.8   #PROGRAM, [message + 1]
        CLR.8   [message + 2]
        CALL    send

        CALL    draw_roll
        CALL    refresh
        MOV.32  #TIMER_ID, r24
        MOV.32  #TICK, r28
        CALL    start_timer

main:   GETEVENT
        JNZ.8   .event, r0
        WAIT
        JMP     main
.event: EQ.8    r0, #EVENT_SYSTEM, r24
        JZ.8    main, r24
        EQ.8    r1, #KIND_TIMER, r24
        JZ.8    main, r24
        CALL    tick
        JMP     main

; One tick: the sounding note goes on until its ticks are used up, then the next starts.
tick:   DEC.U32 [ticks_left]
        JNZ.32  .done, [ticks_left]
        CALL    note_off
        INC.U32 [current]
        LT.U32  [current], #NOTE_COUNT, r24
        JZ.8    finish, r24
        CALL    note_on
        CALL    draw_roll
        CALL    refresh
.done:  RET

finish: MOV.32  #TIMER_ID, r24
        CALL    stop_timer
        MOV.8   #MIDI_CONTROL, [message]
        MOV.8   #123, [message + 1]     ; all notes off
        CLR.8   [message + 2]
        CALL    send
        MOV.32  #COLOR_LIGHT_GRAY, [text_fg]
        MOV.32  #2, r24
        MOV.32  #20, r28
        MOV.32  #end_text, [text_ptr]
        CALL    print_at
        MOV.32  #2, [text_x]
        MOV.32  #21, [text_y]
        MOV.32  #sent_text, [text_ptr]
        CALL    print
        MOV.32  [sent], [number_arg]
        CALL    print_number
        CALL    refresh
        MOV.32  #finished_title, [text_ptr]
        JMP     set_title

; The melody entry `current`: its note and length into `note` and `ticks_left`.
note_on:
        MUL.U32 [current], #2, r24
        ADD.U32 r24, #melody, r24
        MOV.8   [[r24]], [note]
        INC.U32 r24
        MOV.8   [[r24]], [ticks_left]
        MOV.8   #MIDI_NOTE_ON, [message]
        MOV.8   [note], [message + 1]
        MOV.8   #VELOCITY, [message + 2]
        JMP     send

note_off:
        LT.U32  [current], #NOTE_COUNT, r24
        JZ.8    .done, r24
        MOV.8   #MIDI_NOTE_OFF, [message]
        MOV.8   [note], [message + 1]
        CLR.8   [message + 2]
        JMP     send
.done:  RET

; Sends the short message in `message` when there is a sound device; counts the ones
; that the device accepted.
send:   JZ.8    .done, [midi]
        MOV.16  #GROUP_SOUND | SOUND_SEND << 8, r0
        MOV.32  [message], r4
        SYS
        JZ.8    .done, r2
        INC.U32 [sent]
.done:  RET

; The piano roll: every note of the melody at the row of its pitch, with its name below;
; played notes grey, the sounding one yellow, the rest white.
draw_roll:
        CLR.32  [roll_index]
.loop:  LT.U32  [roll_index], #NOTE_COUNT, r24
        JZ.8    .done, r24
        MOV.32  #COLOR_WHITE, [text_fg]
        LT.I32  [roll_index], [current], r24
        JZ.8    .now, r24
        MOV.32  #COLOR_GRAY, [text_fg]
.now:   EQ.32   [roll_index], [current], r24
        JZ.8    .draw, r24
        MOV.32  #COLOR_YELLOW, [text_fg]
.draw:  MUL.U32 [roll_index], #2, r24
        ADD.U32 r24, #melody, r24
        CLR.32  [roll_note]
        MOV.8   [[r24]], [roll_note]
        MUL.U32 [roll_index], #4, [text_x]
        ADD.U32 [text_x], #FIRST_COLUMN, [text_x]
        SUB.U32 [roll_note], #LOWEST, r28
        SUB.U32 #ROLL_BOTTOM, r28, [text_y]
        MOV.8   #'o', [char_arg]
        CALL    put_char
        ; the name: letter (and sharp) from the table, then the octave digit
        MUL.U32 [roll_index], #4, [text_x]
        ADD.U32 [text_x], #FIRST_COLUMN, [text_x]
        MOV.32  #ROLL_BOTTOM + 2, [text_y]
        MOD.U32 [roll_note], #12, r28
        MUL.U32 r28, #2, r28
        ADD.U32 r28, #note_names, r28
        MOV.8   [[r28]], [char_arg]
        CALL    put_char
        INC.U32 r28
        MOV.8   [[r28]], [char_arg]
        EQ.8    [char_arg], #' ', r24
        JNZ.8   .octave, r24
        CALL    put_char
.octave:
        DIV.U32 [roll_note], #12, r28
        ADD.U32 r28, #'0' - 1, r28
        MOV.8   r28, [char_arg]
        CALL    put_char
        INC.U32 [roll_index]
        JMP     .loop
.done:  RET

; --- Data ---------------------------------------------------------------------------------
; Ode to Joy (L. van Beethoven): MIDI note, length in ticks.
melody: .byte 64, 2, 64, 2, 65, 2, 67, 2
        .byte 67, 2, 65, 2, 64, 2, 62, 2
        .byte 60, 2, 60, 2, 62, 2, 64, 2
        .byte 62, 3, 60, 1, 60, 4
NOTE_COUNT = ($ - melody) / 2

note_names:     .ascii "C C#D D#E F F#G G#A A#B "
title:          .asciz "Tune"
finished_title: .asciz "Tune - finished"
heading:        .asciz "Ode to Joy"
midi_on_text:   .asciz "Playing through MIDI."
midi_off_text:  .asciz "MIDI is off: the tune plays silently."
end_text:       .asciz "The end."
sent_text:      .asciz "MIDI messages sent: "

midi:       .byte 0
message:    .dword 0
note:       .byte 0
current:    .dword 0xFFFFFFFF               ; before the first note
ticks_left: .dword 1
sent:       .dword 0
roll_index: .dword 0
roll_note:  .dword 0

        .include "common.inc"

        .align 4
stack:
