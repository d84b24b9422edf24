; snake.asm - the classic game in text mode: the arrow keys steer the snake, each piece of
; food makes it longer and counts one point, the score stands in the window title. A host
; timer moves the snake; running into the wall or into itself ends the game, and Enter
; starts the next one.

        .include "tarquil.inc"

WIDTH       = 40                        ; the field, inside its border
HEIGHT      = 18
LEFT        = 20                        ; screen column of the left border
TOP         = 3                         ; screen row of the top border
CELLS       = WIDTH * HEIGHT
TIMER_ID    = 1
TICK        = 120                       ; milliseconds per step
START_X     = WIDTH / 2
START_Y     = HEIGHT / 2

start:  MOV.32  #stack, sp
        MOV.16  #GROUP_SCREEN | SCREEN_SET_MODE << 8, r0
        MOV.8   #MODE_TEXT, r2
        MOV.32  #80, r8
        MOV.32  #25, r12
        SYS
new_game:
        CALL    setup
main:   GETEVENT
        JNZ.8   .event, r0
        WAIT
        JMP     main
.event: EQ.8    r0, #EVENT_SYSTEM, r24
        JNZ.8   .system, r24
        EQ.8    r0, #EVENT_KEYBOARD, r24
        JZ.8    main, r24
        EQ.8    r1, #KIND_KEY, r24
        JNZ.8   .key, r24
        JZ.8    main, [over]            ; a character: Enter after the game
        EQ.32   r4, #13, r24
        JNZ.8   new_game, r24
        JMP     main
.system:
        EQ.8    r1, #KIND_TIMER, r24
        JZ.8    main, r24
        JNZ.8   main, [over]
        CALL    step
        JMP     main
.key:   EQ.8    r2, #KEY_DOWN, r24
        JZ.8    main, r24
        CALL    steer
        JMP     main

; --- A new game -----------------------------------------------------------------------
setup:  CLRB    #CELLS, [grid]
        CLR.32  [score]
        CLR.8   [over]
        MOV.32  #1, [dir_x]
        CLR.32  [dir_y]
        MOV.32  #1, [next_x]
        CLR.32  [next_y]
        MOV.32  #COLOR_LIGHT_GRAY, [text_fg]
        MOV.32  #COLOR_BLACK, [text_bg]
        CALL    clear_screen
        CALL    draw_border
        MOV.32  #COLOR_LIGHT_GRAY, [text_fg]
        MOV.32  #LEFT, r24
        MOV.32  #TOP + HEIGHT + 3, r28
        MOV.32  #help_text, [text_ptr]
        CALL    print_at
        ; three pieces in the middle, heading right
        CLR.32  [tail]
        MOV.32  #0xFFFFFFFF, [head]
        MOV.32  #START_X - 2, [cell_x]
        MOV.32  #START_Y, [cell_y]
        CALL    grow
        INC.U32 [cell_x]
        CALL    grow
        INC.U32 [cell_x]
        CALL    grow
        CALL    place_food
        CALL    show_score
        MOV.32  #TIMER_ID, r24
        MOV.32  #TICK, r28
        CALL    start_timer
        JMP     refresh

draw_border:
        MOV.32  #COLOR_GRAY, [text_fg]
        MOV.8   #'#', [char_arg]
        CLR.32  [cell_x]
.across:
        ADD.U32 [cell_x], #LEFT, [text_x]
        MOV.32  #TOP, [text_y]
        CALL    put_char
        ADD.U32 [cell_x], #LEFT, [text_x]
        MOV.32  #TOP + HEIGHT + 1, [text_y]
        CALL    put_char
        INC.U32 [cell_x]
        LT.U32  [cell_x], #WIDTH + 2, r24
        JNZ.8   .across, r24
        CLR.32  [cell_y]
.down:  ADD.U32 [cell_y], #TOP + 1, [text_y]
        MOV.32  #LEFT, [text_x]
        CALL    put_char
        ADD.U32 [cell_y], #TOP + 1, [text_y]
        MOV.32  #LEFT + WIDTH + 1, [text_x]
        CALL    put_char
        INC.U32 [cell_y]
        LT.U32  [cell_y], #HEIGHT, r24
        JNZ.8   .down, r24
        RET

; --- Steering: an arrow key sets the next direction, never straight back ------------------
steer:  EQ.32   r4, #VK_LEFT, r24
        JNZ.8   .left, r24
        EQ.32   r4, #VK_RIGHT, r24
        JNZ.8   .right, r24
        EQ.32   r4, #VK_UP, r24
        JNZ.8   .up, r24
        EQ.32   r4, #VK_DOWN, r24
        JNZ.8   .down, r24
        RET
.left:  MOV.32  #-1, r8
        CLR.32  r12
        JMP     .set
.right: MOV.32  #1, r8
        CLR.32  r12
        JMP     .set
.up:    CLR.32  r8
        MOV.32  #-1, r12
        JMP     .set
.down:  CLR.32  r8
        MOV.32  #1, r12
.set:   ADD.I32 r8, [dir_x], r24        ; the opposite direction sums to zero
        ADD.I32 r12, [dir_y], r28
        OR.32   r24, r28, r24
        JZ.32   .done, r24
        MOV.32  r8, [next_x]
        MOV.32  r12, [next_y]
.done:  RET

; --- One step of the snake ------------------------------------------------------------------
step:   MOV.32  [next_x], [dir_x]
        MOV.32  [next_y], [dir_y]
        ADD.I32 [head_x], [dir_x], [cell_x]
        ADD.I32 [head_y], [dir_y], [cell_y]
        LT.U32  [cell_x], #WIDTH, r24   ; -1 is a large unsigned number: one test per side
        JZ.8    game_over, r24
        LT.U32  [cell_y], #HEIGHT, r24
        JZ.8    game_over, r24
        CALL    cell_address
        JNZ.8   game_over, [[r24]]
        ; the old head becomes body
        MOV.32  [cell_x], [new_x]
        MOV.32  [cell_y], [new_y]
        MOV.32  [head_x], [cell_x]
        MOV.32  [head_y], [cell_y]
        MOV.32  #COLOR_GREEN, [text_fg]
        MOV.8   #'o', [char_arg]
        CALL    draw_cell
        MOV.32  [new_x], [cell_x]
        MOV.32  [new_y], [cell_y]
        EQ.32   [cell_x], [food_x], r24
        EQ.32   [cell_y], [food_y], r28
        LAND    r24, r28, [ate]
        JNZ.8   .grow, [ate]
        CALL    shrink
        MOV.32  [new_x], [cell_x]
        MOV.32  [new_y], [cell_y]
.grow:  CALL    grow
        JZ.8    .done, [ate]
        INC.U32 [score]
        CALL    show_score
        CALL    place_food
.done:  JMP     refresh

; Adds (cell_x, cell_y) as the new head.
grow:   INC.U32 [head]
        MOD.U32 [head], #CELLS, [head]
        MUL.U32 [head], #2, r24
        ADD.U32 r24, #body, r24
        MOV.8   [cell_x], [[r24]]
        INC.U32 r24
        MOV.8   [cell_y], [[r24]]
        MOV.32  [cell_x], [head_x]
        MOV.32  [cell_y], [head_y]
        CALL    cell_address
        MOV.8   #1, [[r24]]
        MOV.32  #COLOR_YELLOW, [text_fg]
        MOV.8   #'@', [char_arg]
        JMP     draw_cell

; Removes the tail piece.
shrink: MUL.U32 [tail], #2, r24
        ADD.U32 r24, #body, r24
        CLR.32  [cell_x]
        CLR.32  [cell_y]
        MOV.8   [[r24]], [cell_x]
        INC.U32 r24
        MOV.8   [[r24]], [cell_y]
        INC.U32 [tail]
        MOD.U32 [tail], #CELLS, [tail]
        CALL    cell_address
        CLR.8   [[r24]]
        MOV.8   #' ', [char_arg]
        JMP     draw_cell

; r24 = the address of (cell_x, cell_y) in the grid.
cell_address:
        MUL.U32 [cell_y], #WIDTH, r24
        ADD.U32 r24, [cell_x], r24
        ADD.U32 r24, #grid, r24
        RET

; Draws char_arg in text_fg at (cell_x, cell_y) of the field.
draw_cell:
        ADD.U32 [cell_x], #LEFT + 1, [text_x]
        ADD.U32 [cell_y], #TOP + 1, [text_y]
        JMP     put_char

; Food on a free cell: random tries first, then the first free cell; none left is a win.
place_food:
        MOV.32  #100, [tries]
.try:   RND.U32 #0, #WIDTH - 1, [cell_x]
        RND.U32 #0, #HEIGHT - 1, [cell_y]
        CALL    cell_address
        JZ.8    .found, [[r24]]
        DEC.U32 [tries]
        JNZ.32  .try, [tries]
        CLR.32  [cell_y]
.row:   CLR.32  [cell_x]
.column:
        CALL    cell_address
        JZ.8    .found, [[r24]]
        INC.U32 [cell_x]
        LT.U32  [cell_x], #WIDTH, r24
        JNZ.8   .column, r24
        INC.U32 [cell_y]
        LT.U32  [cell_y], #HEIGHT, r24
        JNZ.8   .row, r24
        JMP     game_over
.found: MOV.32  [cell_x], [food_x]
        MOV.32  [cell_y], [food_y]
        MOV.32  #COLOR_RED, [text_fg]
        MOV.8   #'*', [char_arg]
        JMP     draw_cell

; The title: "Snake - score N", or "Snake - game over - score N".
show_score:
        MOV.32  #title_buffer, [text_ptr]
        MOV.32  #score_title, [copy_src]
        JZ.8    .score, [over]
        MOV.32  #over_title, [copy_src]
.score: CALL    append
        MOV.32  [score], [number_arg]
        CALL    number_to_text
        MOV.32  #title_buffer, [text_ptr]
        JMP     set_title

game_over:
        MOV.8   #1, [over]
        MOV.32  #TIMER_ID, r24
        CALL    stop_timer
        MOV.32  #COLOR_WHITE, [text_fg]
        MOV.32  #COLOR_DARK_RED, [text_bg]
        MOV.32  #LEFT + WIDTH / 2 - 14, r24
        MOV.32  #TOP + HEIGHT / 2, r28
        MOV.32  #over_text, [text_ptr]
        CALL    print_at
        MOV.32  #COLOR_BLACK, [text_bg]
        CALL    show_score
        JMP     refresh

; --- Data ---------------------------------------------------------------------------------
score_title:  .asciz "Snake - score "
over_title:   .asciz "Snake - game over - score "
help_text:    .asciz "Arrow keys steer. Eat the * to grow."
over_text:    .asciz " Game over - Enter plays again "

score:        .dword 0
over:         .byte 0
ate:          .byte 0
dir_x:        .dword 1
dir_y:        .dword 0
next_x:       .dword 1
next_y:       .dword 0
head_x:       .dword 0
head_y:       .dword 0
cell_x:       .dword 0
cell_y:       .dword 0
new_x:        .dword 0
new_y:        .dword 0
food_x:       .dword 0
food_y:       .dword 0
head:         .dword 0
tail:         .dword 0
tries:        .dword 0
title_buffer: .fill 48

        .include "common.inc"

        .align 4
grid:                                   ; CELLS bytes: 1 where the snake is
body = grid + CELLS                     ; CELLS pairs of bytes x, y: a ring buffer
stack = body + CELLS * 2
