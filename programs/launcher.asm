; launcher.asm - the demo disk's menu. It lists the demo programs, which it carries in its
; own boot image, and starts the chosen one where it lies: with BASE set to the program's
; first byte, every address the program uses is taken relative to it, so a program
; assembled for address 0 runs unchanged. Reset brings the menu back.

        .include "tarquil.inc"

DEMO_COUNT  = 4
FIRST_ROW   = 7
BAR_LEFT    = 4
BAR_RIGHT   = 76
BACKGROUND  = COLOR_DARK_BLUE

start:  MOV.32  #stack, sp
        MOV.16  #GROUP_SCREEN | SCREEN_SET_MODE << 8, r0
        MOV.8   #MODE_TEXT, r2
        MOV.32  #80, r8
        MOV.32  #25, r12
        SYS
        MOV.32  #title, [text_ptr]
        CALL    set_title
        CALL    draw_screen

; --- The event loop: arrows move the bar, Enter or a digit starts a program -------------
main:   GETEVENT
        JNZ.8   .event, r0
        WAIT
        JMP     main
.event: EQ.8    r0, #EVENT_KEYBOARD, r24
        JZ.8    main, r24
        EQ.8    r1, #KIND_CHAR, r24
        JNZ.8   .char, r24
        EQ.8    r2, #KEY_DOWN, r24
        JZ.8    main, r24
        EQ.32   r4, #VK_UP, r24
        JNZ.8   .up, r24
        EQ.32   r4, #VK_DOWN, r24
        JNZ.8   .down, r24
        JMP     main
.up:    ADD.U32 [selected], #DEMO_COUNT - 1, [selected]
        JMP     .moved
.down:  INC.U32 [selected]
.moved: MOD.U32 [selected], #DEMO_COUNT, [selected]
        CALL    draw_items
        CALL    refresh
        JMP     main
.char:  EQ.32   r4, #13, r24
        JNZ.8   launch, r24
        SUB.U32 r4, #'1', r28
        LT.U32  r28, #DEMO_COUNT, r24
        JZ.8    main, r24
        MOV.32  r28, [selected]

; --- Start the selected program: clean registers, BASE at its image, jump to its 0 ------
launch: MUL.U32 [selected], #4, r28
        ADD.U32 r28, #demo_images, r28
        MOV.32  [[r28]], [launch_base]
        CLRB    #32, r0
        CLR.32  sp
        MOV.32  [launch_base], base
        JMP     0                       ; 0 of the program: BASE + 0

; --- Drawing --------------------------------------------------------------------------------
draw_screen:
        MOV.32  #COLOR_WHITE, [text_fg]
        MOV.32  #BACKGROUND, [text_bg]
        CALL    clear_screen
        MOV.32  #COLOR_YELLOW, [text_fg]
        MOV.32  #2, r24
        MOV.32  #1, r28
        MOV.32  #heading, [text_ptr]
        CALL    print_at
        MOV.32  #COLOR_LIGHT_GRAY, [text_fg]
        MOV.32  #4, r28
        MOV.32  #help_line, [text_ptr]
        CALL    print_at
        MOV.32  #FIRST_ROW + DEMO_COUNT + 2, r28
        MOV.32  #reset_line, [text_ptr]
        CALL    print_at
        CALL    draw_machine
        CALL    draw_items
        JMP     refresh

; One bar per program; the selected one in inverse colours.
draw_items:
        CLR.32  [item]
.loop:  LT.U32  [item], #DEMO_COUNT, r24
        JZ.8    .done, r24
        EQ.32   [item], [selected], r24
        JNZ.8   .marked, r24
        MOV.32  #COLOR_WHITE, [text_fg]
        MOV.32  #BACKGROUND, [text_bg]
        JMP     .put
.marked:
        MOV.32  #COLOR_BLACK, [text_fg]
        MOV.32  #COLOR_CYAN, [text_bg]
.put:   MOV.32  #BAR_LEFT, [text_x]
        ADD.U32 [item], #FIRST_ROW, [text_y]
        MUL.U32 [item], #4, r28
        ADD.U32 r28, #item_texts, r28
        MOV.32  [[r28]], [text_ptr]
        CALL    print
        MOV.8   #' ', [char_arg]
.pad:   LT.I32  [text_x], #BAR_RIGHT, r24
        JZ.8    .next, r24
        CALL    put_char
        JMP     .pad
.next:  INC.U32 [item]
        JMP     .loop
.done:  MOV.32  #COLOR_WHITE, [text_fg]
        MOV.32  #BACKGROUND, [text_bg]
        RET

; What the machine offers: memory, disk slots, MIDI.
draw_machine:
        MOV.32  #COLOR_LIGHT_GRAY, [text_fg]
        MOV.32  #2, [text_x]
        MOV.32  #22, [text_y]
        MOV.32  #memory_text, [text_ptr]
        CALL    print
        MOV.16  #GROUP_MEMORY | MEMORY_SIZE << 8, r0
        SYS
        MOV.32  r4, [number_arg]
        CALL    print_number
        MOV.32  #slots_text, [text_ptr]
        CALL    print
        MOV.16  #GROUP_DISK | DISK_COUNT << 8, r0
        SYS
        MOV.32  r4, [number_arg]
        CALL    print_number
        MOV.32  #midi_on_text, [text_ptr]
        MOV.16  #GROUP_SOUND | SOUND_VERSION << 8, r0
        SYS
        JNZ.8   .print, r0              ; a missing sound device answers with group 0
        MOV.32  #midi_off_text, [text_ptr]
.print: JMP     print

; --- Data -------------------------------------------------------------------------------
title:          .asciz "Demo disk"
heading:        .asciz "T A R Q U I L   -   demo disk"
help_line:      .asciz "Choose a program with the arrow keys and Enter, or press its number."
reset_line:     .asciz "Reset (in the menu) comes back here."
memory_text:    .asciz "Memory: "
slots_text:     .asciz " bytes    Disk slots: "
midi_on_text:   .asciz "    MIDI: on"
midi_off_text:  .asciz "    MIDI: off"

item_texts:     .dword item_1, item_2, item_3, item_4
item_1:         .asciz "1  Plasma   colours that a host timer keeps moving (graphics)"
item_2:         .asciz "2  Snake    a game for the arrow keys, the score in the title"
item_3:         .asciz "3  Tune     a melody through MIDI (silent when MIDI is off)"
item_4:         .asciz "4  Notes    a note that a data disk keeps across a Reset"

selected:       .dword 0
item:           .dword 0
launch_base:    .dword 0

        .include "common.inc"

; --- The programs, each assembled for address 0 -------------------------------------------
        .align 16
plasma_image:   .incbin "plasma.bin"
        .align 16
snake_image:    .incbin "snake.bin"
        .align 16
tune_image:     .incbin "tune.bin"
        .align 16
notes_image:    .incbin "notes.bin"
demo_images:    .dword plasma_image, snake_image, tune_image, notes_image

        .align 4
stack:
